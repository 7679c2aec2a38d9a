#pragma once
// Section names, keys and fixed value texts of the parameter files, as the
// GBK (code page 936) bytes the files hold. They are byte constants so that
// reading and writing a parameter file never depends on a codec being
// present at run time; the comment on each shows the Chinese text.

#include <QByteArray>

namespace qm::gbk {

// ---- Data-radio file ----
inline const QByteArray SectionDk618 = QByteArrayLiteral("File_DK618");

// Per-channel frequency keys, channel 0..9: "信道N发射频率" / "信道N接收频率".
// A file lists them channel by channel, transmit before receive.
inline const QByteArray TxFreqKeys[10] = {
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "0\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道0发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "1\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道1发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "2\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道2发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "3\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道3发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "4\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道4发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "5\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道5发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "6\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道6发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "7\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道7发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "8\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道8发射频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "9\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"), // 信道9发射频率
};
inline const QByteArray RxFreqKeys[10] = {
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "0\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道0接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "1\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道1接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "2\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道2接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "3\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道3接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "4\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道4接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "5\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道5接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "6\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道6接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "7\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道7接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "8\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道8接收频率
    QByteArrayLiteral("\xD0\xC5\xB5\xC0" "9\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"), // 信道9接收频率
};

inline const QByteArray KeyCurrentChannel = QByteArrayLiteral("\xB5\xB1\xC7\xB0\xD0\xC5\xB5\xC0"); // 当前信道
inline const QByteArray KeyDeviceAddress = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xB5\xD8\xD6\xB7"); // 设备地址
inline const QByteArray KeyTransferMode = QByteArrayLiteral("\xB4\xAB\xCA\xE4\xB7\xBD\xCA\xBD"); // 传输方式
inline const QByteArray KeyAddressMode = QByteArrayLiteral("\xB5\xD8\xD6\xB7\xC4\xA3\xCA\xBD"); // 地址模式
inline const QByteArray KeyBaudRate = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xCD\xA8\xD1\xB6\xCB\xD9\xC2\xCA"); // 设备通讯速率
inline const QByteArray KeyParity = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xD0\xA3\xD1\xE9\xB7\xBD\xCA\xBD"); // 设备校验方式
inline const QByteArray KeyAirRate = QByteArrayLiteral("\xCE\xDE\xCF\xDF\xCB\xD9\xC2\xCA"); // 无线速率
inline const QByteArray KeyRelayMode = QByteArrayLiteral("\xD6\xD0\xD7\xAA\xB7\xBD\xCA\xBD"); // 中转方式

// Value texts of the data-radio file. Baud rates ("19200", "9600") are plain
// ASCII digits and need no constant.
inline const QByteArray ValueTransparent = QByteArrayLiteral("\xCD\xB8\xC3\xF7"); // 透明
inline const QByteArray ValueProtocol = QByteArrayLiteral("\xD0\xAD\xD2\xE9"); // 协议
inline const QByteArray ValueInvalid = QByteArrayLiteral("\xCE\xDE\xD0\xA7"); // 无效
inline const QByteArray ValueValid = QByteArrayLiteral("\xD3\xD0\xD0\xA7"); // 有效
inline const QByteArray ValueNoParity = QByteArrayLiteral("\xCE\xDE\xD0\xA3\xD1\xE9"); // 无校验
inline const QByteArray ValueEvenParity = QByteArrayLiteral("\xC5\xBC\xD0\xA3\xD1\xE9"); // 偶校验
inline const QByteArray ValueOddParity = QByteArrayLiteral("\xC6\xE6\xD0\xA3\xD1\xE9"); // 奇校验

// ---- Subscriber-unit file ----
inline const QByteArray SectionMlr4800 = QByteArrayLiteral("File_MLR4800");
inline const QByteArray KeyUplinkTxFreq = QByteArrayLiteral("\xC9\xCF\xD0\xD0\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"); // 上行发射频率
inline const QByteArray KeyUplinkRxFreq = QByteArrayLiteral("\xC9\xCF\xD0\xD0\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"); // 上行接收频率
inline const QByteArray KeyBaseTxFreq = QByteArrayLiteral("\xBB\xF9\xD5\xBE\xB7\xA2\xC9\xE4\xC6\xB5\xC2\xCA"); // 基站发射频率
inline const QByteArray KeyBaseRxFreq = QByteArrayLiteral("\xBB\xF9\xD5\xBE\xBD\xD3\xCA\xD5\xC6\xB5\xC2\xCA"); // 基站接收频率
inline const QByteArray KeyUnitAddress = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xB5\xD8\xD6\xB7"); // 设备地址
inline const QByteArray KeyUnitBaudRate = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xCD\xA8\xD1\xB6\xCB\xD9\xC2\xCA"); // 设备通讯速率
inline const QByteArray KeyUnitAirRate = QByteArrayLiteral("\xC9\xE8\xB1\xB8\xBF\xD5\xD6\xD0\xCB\xD9\xC2\xCA"); // 设备空中速率

// ---- Central-unit file ----
// Keys in the style of the other two sections: per channel 0..9 the four
// frequencies "信道N上行发射频率", "信道N上行接收频率", "信道N下行发射频率",
// "信道N下行接收频率", then "当前信道", "设备地址" (KeyCurrentChannel,
// KeyDeviceAddress above), the link "传输方式" (KeyTransferMode above) with
// "无线" / "有线", "设备空中速率" (KeyUnitAirRate above) and "纯透明" with
// "有效" / "无效".
inline const QByteArray SectionMlb4800 = QByteArrayLiteral("File_MLB4800");
// Column 0..3: uplink transmit, uplink receive, downlink transmit, downlink
// receive.
inline QByteArray CentralFreqKey(int column, int channel)
{
    static const QByteArray kColumns[4] = {
        QByteArrayLiteral("\xC9\xCF\xD0\xD0\xB7\xA2\xC9\xE4"), // 上行发射
        QByteArrayLiteral("\xC9\xCF\xD0\xD0\xBD\xD3\xCA\xD5"), // 上行接收
        QByteArrayLiteral("\xCF\xC2\xD0\xD0\xB7\xA2\xC9\xE4"), // 下行发射
        QByteArrayLiteral("\xCF\xC2\xD0\xD0\xBD\xD3\xCA\xD5"), // 下行接收
    };
    return QByteArrayLiteral("\xD0\xC5\xB5\xC0") + QByteArray::number(channel) + kColumns[column]
        + QByteArrayLiteral("\xC6\xB5\xC2\xCA"); // 信道 N ... 频率
}
inline const QByteArray KeyPureTransparent = QByteArrayLiteral("\xB4\xBF\xCD\xB8\xC3\xF7"); // 纯透明
inline const QByteArray ValueWireless = QByteArrayLiteral("\xCE\xDE\xCF\xDF"); // 无线
inline const QByteArray ValueWired = QByteArrayLiteral("\xD3\xD0\xCF\xDF"); // 有线

} // namespace qm::gbk
