// The family field tables without a window: fields held in memory, the
// central unit's parameter file, what a write checks, and the comparison
// of two value sets.
#include "common/fieldtable.h"
#include "common/gbktexts.h"
#include "common/inifile.h"
#include "common/memoryfields.h"
#include "radio/dk618fields.h"
#include "units/mlb4800fields.h"
#include "units/mlr4800fields.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace qm;

namespace {
const FieldTable &tableOf(const QString &family)
{
    return family == QLatin1String("dk618") ? Dk618Fields() : family == QLatin1String("mlb4800") ? Mlb4800Fields() : Mlr4800Fields();
}
} // namespace

class TestFieldTable : public QObject {
    Q_OBJECT
private slots:
    void memoryFieldsActLikeThePage();
    void centralFileStoresEveryFieldAndLoadsItBack();
    void writeChecks_data();
    void writeChecks();
    void fileValueChecks_data();
    void fileValueChecks();
    void differencesInScope();
    void frequencyInMhz_data();
    void frequencyInMhz();
};

void TestFieldTable::memoryFieldsActLikeThePage()
{
    MemoryFields f(Dk618Fields());
    QCOMPARE(f.text(QStringLiteral("Dk618_Address")), QStringLiteral("1"));
    QVERIFY(f.checked(QStringLiteral("AirRate19200")));
    f.setChecked(QStringLiteral("AirRate9600"), true);
    QVERIFY(!f.checked(QStringLiteral("AirRate19200")));
    // An exclusive pair cannot be left without a checked button.
    f.setChecked(QStringLiteral("AirRate9600"), false);
    QVERIFY(f.checked(QStringLiteral("AirRate9600")));
    QCOMPARE(f.itemIndex(QStringLiteral("Dk618_Baudrate")), 6);
    f.setText(QStringLiteral("Dk618_Baudrate"), QStringLiteral("38400"));
    QCOMPARE(f.itemIndex(QStringLiteral("Dk618_Baudrate")), -1);
    f.setItemIndex(QStringLiteral("Dk618_Baudrate"), 7);
    QCOMPARE(f.text(QStringLiteral("Dk618_Baudrate")), QString());
    f.clearEdits();
    QCOMPARE(f.text(QStringLiteral("Dk618_Address")), QStringLiteral("0"));
    QCOMPARE(f.text(QStringLiteral("Dk618_Checkmode")), QStringLiteral("无校验"));
    // Buttons are no fields, but an exchange may switch them.
    QVERIFY(!f.has(QStringLiteral("Dk618_Write_Data")));
    f.setEnabled(QStringLiteral("Dk618_Write_Data"), false);
    QVERIFY(!f.enabled(QStringLiteral("Dk618_Write_Data")));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, f.text(QStringLiteral("NoSuchField")));
}

void TestFieldTable::centralFileStoresEveryFieldAndLoadsItBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.ini"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[File_DK618]\r\n; kept\r\nx=1\r\n");
    }
    MemoryFields unit(Mlb4800Fields());
    unit.setText(QStringLiteral("TxFreq13"), QStringLiteral("4330000"));
    unit.setText(QStringLiteral("RxFreq29"), QStringLiteral("4380250"));
    unit.setText(QStringLiteral("Mlb4800_Address"), QStringLiteral("77"));
    unit.setChecked(QStringLiteral("ComTrans"), true);
    unit.setItemIndex(QStringLiteral("Mlb4800_Airrate"), 2);
    unit.setChecked(QStringLiteral("Mlb_TransParent"), true);
    StoreFieldsToFile(Mlb4800Fields(), unit, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("[File_DK618]\r\n; kept\r\nx=1\r\n[File_MLB4800]\r\n"));
    QCOMPARE(bytes.count('='), 1 + 45);
    using namespace gbk;
    QVERIFY(bytes.contains("\r\n" + CentralFreqKey(0, 0) + "=0\r\n" + CentralFreqKey(1, 0) + "=0\r\n"));
    QVERIFY(bytes.contains("\r\n" + CentralFreqKey(0, 3) + "=4330000\r\n"));
    QVERIFY(bytes.contains("\r\n" + CentralFreqKey(3, 9) + "=4380250\r\n" + KeyCurrentChannel + "=0\r\n" + KeyDeviceAddress
                           + "=77\r\n" + KeyTransferMode + '=' + ValueWired + "\r\n" + KeyUnitAirRate + "=9600B\r\n"
                           + KeyPureTransparent + '=' + ValueValid + "\r\n"));

    MemoryFields loaded(Mlb4800Fields());
    LoadFieldsFromFile(Mlb4800Fields(), loaded, path);
    QCOMPARE(Differences(Mlb4800Fields(), unit, loaded).size(), 0);
    // A file without the section loads the defaults.
    LoadFields(Mlb4800Fields(), loaded, IniDocument::fromBytes(path, "[File_DK618]\r\n"));
    QCOMPARE(loaded.text(QStringLiteral("Mlb4800_Address")), QStringLiteral("1"));
    QVERIFY(loaded.checked(QStringLiteral("AirTrans")));
    QCOMPARE(loaded.text(QStringLiteral("Mlb4800_Airrate")), QStringLiteral("9600A"));
    QVERIFY(!loaded.checked(QStringLiteral("Mlb_TransParent")));
}

void TestFieldTable::writeChecks_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem"); // start of the refusal; empty: passes

    QTest::newRow("initial page") << "dk618" << "" << "" << "";
    QTest::newRow("address too large") << "dk618" << "Dk618_Address" << "65536" << "设备地址=65536: outside 0..65535";
    QTest::newRow("channel 10") << "dk618" << "Dk618_CurrentChannel" << "10" << "当前信道=10: outside 0..9";
    QTest::newRow("off the raster") << "dk618" << "TxFreq4" << "4330100" << "信道4发射频率=4330100: not a multiple of 125";
    QTest::newRow("no number") << "dk618" << "Ptttime" << "6o" << "Ptttime=6o: not a whole number";
    QTest::newRow("rate off the list") << "dk618" << "Dk618_Baudrate" << "38400" << "设备通讯速率=38400: not one of 300";
    QTest::newRow("address selection, transparent") << "dk618" << "Select_ANI_Valid" << "" << "地址模式=有效: 地址有效";
    QTest::newRow("central address above a byte") << "mlb4800" << "Mlb4800_Address" << "256" << "设备地址=256: outside 0..255";
    QTest::newRow("central air rate as created") << "mlb4800" << "" << "" << "设备空中速率=Mlb4800_Airrate: not one of";
    QTest::newRow("subscriber frequency") << "mlr4800" << "RxFreq30" << "4330125" << "上行接收频率=4330125: not a multiple of 250";
    QTest::newRow("base station not sent") << "mlr4800" << "TxFreq31" << "1" << "";
    QTest::newRow("subscriber rate") << "mlr4800" << "Mlr4800ComRate" << "600" << "设备通讯速率=600: not one of 1200";
}

void TestFieldTable::writeChecks()
{
    QFETCH(QString, family);
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    const FieldTable &table = tableOf(family);
    MemoryFields f(table);
    if (family == QLatin1String("mlb4800") && !field.isEmpty())
        f.setText(QStringLiteral("Mlb4800_Airrate"), QStringLiteral("19200A"));
    if (field.startsWith(QLatin1String("Select_")))
        f.setChecked(field, true);
    else if (!field.isEmpty())
        f.setText(field, value);
    const QString got = CheckWritable(table, f);
    if (problem.isEmpty())
        QCOMPARE(got, QString());
    else
        QVERIFY2(got.startsWith(problem), qPrintable(got));
}

void TestFieldTable::fileValueChecks_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("problem"); // empty: the value may stand in a file

    QTest::newRow("parity a word of its own") << "dk618" << "设备校验方式" << "none" << "设备校验方式=none: not one of 无校验, 偶校验, 奇校验";
    QTest::newRow("odd parity") << "dk618" << "设备校验方式" << "奇校验" << "";
    QTest::newRow("rate that maps to another") << "dk618" << "设备通讯速率" << "1234" << "设备通讯速率=1234: not one of 300, 600, 1200";
    QTest::newRow("rate with a leading zero") << "dk618" << "设备通讯速率" << "09600" << "设备通讯速率=09600: not one of";
    QTest::newRow("rate") << "dk618" << "设备通讯速率" << "9600" << "";
    QTest::newRow("air rate") << "dk618" << "无线速率" << "12345" << "无线速率=12345: not one of 9600, 19200";
    QTest::newRow("relay mode yes") << "dk618" << "中转方式" << "yes" << "中转方式=yes: not one of 有效, 无效";
    QTest::newRow("transfer mode") << "dk618" << "传输方式" << "协议" << "";
    QTest::newRow("frequency no number") << "dk618" << "信道0发射频率" << "44x" << "信道0发射频率=44x: '44x' is not a valid integer value";
    QTest::newRow("frequency") << "dk618" << "信道0发射频率" << "4330000" << "";
    QTest::newRow("misspelt key") << "dk618" << "信道0发射頻率" << "4330000" << "信道0发射頻率: not a key of [File_DK618]";
    QTest::newRow("central link") << "mlb4800" << "传输方式" << "bogus" << "传输方式=bogus: not one of 有线, 无线";
    QTest::newRow("central air rate") << "mlb4800" << "设备空中速率" << "9600C" << "设备空中速率=9600C: not one of 19200A, 9600A, 9600B";
    QTest::newRow("subscriber rate") << "mlr4800" << "设备通讯速率" << "600" << "设备通讯速率=600: not one of 1200";
    QTest::newRow("subscriber base station") << "mlr4800" << "基站发射频率" << "4100000" << "";
}

// What a file (or a script's KEY=VALUE) may give a field, checked key by
// key before anything is loaded.
void TestFieldTable::fileValueChecks()
{
    QFETCH(QString, family);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, problem);
    const QString got = CheckFileValue(tableOf(family), EncodeGbk(key), EncodeGbk(value));
    if (problem.isEmpty())
        QCOMPARE(got, QString());
    else
        QVERIFY2(got.startsWith(problem), qPrintable(got));
}

void TestFieldTable::differencesInScope()
{
    MemoryFields a(Mlr4800Fields());
    MemoryFields b(Mlr4800Fields());
    b.setText(QStringLiteral("TxFreq31"), QStringLiteral("4330000"));
    b.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("300"));
    b.setItemIndex(QStringLiteral("Meter_Category"), 1);

    const QList<FieldDifference> stored = Differences(Mlr4800Fields(), a, b, StoredFields);
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0].key, QStringLiteral("基站发射频率"));
    QCOMPARE(stored[1].key, QStringLiteral("设备地址"));
    QCOMPARE(stored[1].caption, QStringLiteral("终端设备地址"));
    QCOMPARE(stored[1].a, QStringLiteral("1"));
    QCOMPARE(stored[1].b, QStringLiteral("300"));
    // What a read of the file's fields can confirm: not the base station.
    const QList<FieldDifference> readable = Differences(Mlr4800Fields(), Snapshot(Mlr4800Fields(), a), Snapshot(Mlr4800Fields(), b),
                                                        StoredFields | ReturnedFields);
    QCOMPARE(readable.size(), 1);
    QCOMPARE(readable[0].name, QStringLiteral("Mlr4800_Address"));
    // Fields without a key compare by name.
    const QList<FieldDifference> sent = Differences(Mlr4800Fields(), a, b, SentFields);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[1].key, QStringLiteral("Meter_Category"));
    QCOMPARE(sent[1].b, QStringLiteral("其他"));
    // A number typed with a leading zero is the number the unit returns.
    a.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("0300"));
    QCOMPARE(Differences(Mlr4800Fields(), a, b, StoredFields | ReturnedFields).size(), 0);
    a.setText(QStringLiteral("Mlr4800_Address"), QStringLiteral("30O"));
    QCOMPARE(Differences(Mlr4800Fields(), a, b, StoredFields | ReturnedFields).size(), 1);
}

void TestFieldTable::frequencyInMhz_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("mhz");
    QTest::newRow("433 MHz") << "4330100" << "433.0100 MHz";
    QTest::newRow("zero") << "0" << "0.0000 MHz";
    QTest::newRow("under 1 MHz") << "125" << "0.0125 MHz";
    QTest::newRow("negative") << "-4330125" << "-433.0125 MHz";
    QTest::newRow("largest integer") << "2147483647" << "214748.3647 MHz";
    QTest::newRow("beyond 32 bits") << "4294967296" << "";
    QTest::newRow("no number") << "433.01" << "";
    QTest::newRow("empty") << "" << "";
}

void TestFieldTable::frequencyInMhz()
{
    QFETCH(QString, value);
    QFETCH(QString, mhz);
    QCOMPARE(FrequencyMhzText(value), mhz);
}

QTEST_GUILESS_MAIN(TestFieldTable)
#include "tst_fieldtable.moc"
