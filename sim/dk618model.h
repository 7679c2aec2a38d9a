#pragma once
// The DK618 data radio: a parameter set read and written whole by a handful
// of commands, all with selector 0x80.

#include "unitmodel.h"

#include <array>

namespace qmsim {

class Dk618Model : public UnitModel {
public:
    static constexpr int kChannels = 10;

    explicit Dk618Model(const QByteArray &modelText = "DK618-450", const SimLine &line = {});

    std::optional<QByteArray> answer(const QByteArray &frame) override;
    SimLine line() const override { return line_; }
    std::unique_ptr<UnitModel> clone() const override { return std::make_unique<Dk618Model>(*this); }

    // The stored parameters, for tests and messages.
    QByteArray modelText() const { return modelText_; }
    quint16 address() const { return address_; }
    int currentChannel() const { return current_; }
    quint16 txWord(int channel) const { return tx_.at(size_t(channel)); }
    quint16 rxWord(int channel) const { return rx_.at(size_t(channel)); }
    quint8 rateCode() const { return rateCode_; }
    quint8 parityCode() const { return parityCode_; }

    // The radio's line-rate code is 1 << rate index (0x01 300 .. 0x40 19200);
    // parity 0xCC none, 0x3C even, 0xC3 odd. Unknown codes give nothing.
    static std::optional<qint32> rateOfCode(quint8 code);
    static std::optional<Parity> parityOfCode(quint8 code);
    static quint8 codeOfRate(qint32 rate);   // 0 for a rate the radio lacks
    static quint8 codeOfParity(Parity parity);

    // Factory test: nine trimming values (rows 1..9), the power level, and
    // readings that drift a little from one to the next unless steady.
    static constexpr int kTrimRows = 9;
    quint8 trimming(int row) const { return trim_.at(size_t(row - 1)); }
    quint8 powerLevel() const { return powerLevel_; }
    // The standing-wave alarm byte of the power reading: 0xFF when on.
    void setSwrAlarm(bool on) { swrAlarm_ = on; }
    // Steady readings: 27 degrees (0x01B0), field strength 95, power 35.5,
    // supply 12.0 every time.
    void setSteadyReadings(bool steady) { steady_ = steady; }

private:
    QByteArray reply(quint8 command, const QByteArray &data = {}) const;
    std::optional<QByteArray> answerTest(quint8 command, const QByteArray &frame, int len);
    // A small step of the drift, -span..span (0 when steady).
    int wobble(int span);

    QByteArray modelText_;
    std::array<quint16, kChannels> tx_{};
    std::array<quint16, kChannels> rx_{};
    quint16 address_ = 1;
    int current_ = 0;
    quint8 rateCode_ = 0x40;
    quint8 parityCode_ = 0xCC;
    quint8 transferMode_ = 0xAC;
    quint8 addressMode_ = 0x32;
    quint8 airRate_ = 0x40;
    quint16 pttLimit_ = 60;
    SimLine line_;
    std::array<quint8, kTrimRows> trim_{128, 96, 140, 160, 80, 110, 150, 200, 130};
    quint8 powerLevel_ = 3;
    bool swrAlarm_ = false;
    bool steady_ = false;
    quint32 drift_ = 0x618u;
};

} // namespace qmsim
