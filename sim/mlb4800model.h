#pragma once
// The MLB4800 central unit: a table of ten channels with four frequency
// words each and a mode byte, an address byte, the current channel, the air
// rate and the transparent switch. Every command has selector 0x80; the
// unit answers whatever address a frame carries (the tool reads it first
// with address 0).

#include "unitmodel.h"

#include <array>

namespace qmsim {

class Mlb4800Model : public UnitModel {
public:
    static constexpr int kChannels = 10;
    static constexpr int kWords = 4 * kChannels;

    explicit Mlb4800Model(const SimLine &line = {});

    std::optional<QByteArray> answer(const QByteArray &frame) override;
    SimLine line() const override { return line_; }
    std::unique_ptr<UnitModel> clone() const override { return std::make_unique<Mlb4800Model>(*this); }

    // The stored parameters, for tests. Words: 0..9 uplink transmit,
    // 10..19 uplink receive, 20..29 downlink transmit, 30..39 downlink
    // receive of channels 0..9.
    quint16 word(int index) const { return words_.at(size_t(index)); }
    quint8 mode() const { return mode_; }
    quint8 address() const { return address_; }
    int currentChannel() const { return current_; }
    quint8 airRate() const { return airRate_; }
    quint8 transparent() const { return transparent_; }

private:
    QByteArray reply(quint8 command, const QByteArray &data = {}) const;

    std::array<quint16, kWords> words_{};
    quint8 mode_ = 6;
    quint8 address_ = 1;
    int current_ = 0;
    quint8 airRate_ = 0xC0;
    quint8 transparent_ = 0xA5;
    SimLine line_;
};

} // namespace qmsim
