#pragma once
// The MLR4800 subscriber unit: uplink frequencies, a 16-bit address, its
// own serial rate, air rate and meter type. The frequency commands take
// selector 0x80, all others 0x81; a frame with the other selector is not
// for this unit and goes unanswered. After acknowledging a new serial rate
// (0x6D) the unit listens at that rate with even parity.

#include "unitmodel.h"

namespace qmsim {

class Mlr4800Model : public UnitModel {
public:
    explicit Mlr4800Model(const SimLine &line = {1200, Parity::Even});

    std::optional<QByteArray> answer(const QByteArray &frame) override;
    SimLine line() const override { return line_; }
    std::unique_ptr<UnitModel> clone() const override { return std::make_unique<Mlr4800Model>(*this); }

    quint16 txWord() const { return tx_; }
    quint16 rxWord() const { return rx_; }
    quint16 address() const { return address_; }
    quint8 rateCode() const { return rateCode_; }
    quint8 airCode() const { return airCode_; }
    quint8 meterCode() const { return meterCode_; }

    // The unit's serial-rate codes: 0x2C 1200, 0xC2 2400, 0x39 4800,
    // 0x93 9600, 0xA5 19200. Other codes give nothing.
    static std::optional<qint32> rateOfCode(quint8 code);
    static quint8 codeOfRate(qint32 rate); // 0 for a rate the unit lacks

private:
    QByteArray reply(quint8 command, quint8 selector, const QByteArray &data = {}) const;

    quint16 tx_ = 17320; // 433.0000 MHz
    quint16 rx_ = 17520; // 438.0000 MHz
    quint16 address_ = 1;
    quint8 rateCode_ = 0x2C;
    quint8 airCode_ = 0xC0;
    quint8 meterCode_ = 0x5A;
    SimLine line_;
};

} // namespace qmsim
