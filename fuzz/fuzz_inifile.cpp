// Any file contents as a parameter file: loaded into both pages through
// their real Load functions, stored back and loaded again, and edited with
// setValue and saved.
//
// Input: byte 0 the number of edits (0..3), then for each edit a section, a
// key and a value, each a length byte and that many bytes; the rest is the
// file.
//
// Properties: a load either succeeds, leaving numbers in the number fields,
// or throws; a refused file (not text, unreadable) leaves the page exactly
// as it was. A page stored into the file loads back unchanged, and a store
// that is refused leaves the file byte for byte. An edit either throws and
// leaves the document as it was, or reads back (blanks around the value
// removed), agrees with a fresh reading of the edited bytes, and is on disk
// once saved.
#include "fuzzrig.h"

#include "common/fieldaccess.h"
#include "common/inifile.h"
#include "radio/radiofile.h"
#include "units/subscriberfile.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdint>

using namespace qm;

namespace {

fuzz::Rig *rig = nullptr;
RadioFile *radioFile = nullptr;
SubscriberFile *subscriberFile = nullptr;
QString path;

const QStringList kRadioTexts = [] {
    QStringList names;
    for (int i = 0; i < 10; ++i)
        names << QStringLiteral("TxFreq%1").arg(i) << QStringLiteral("RxFreq%1").arg(i);
    return names << QStringLiteral("Dk618_CurrentChannel") << QStringLiteral("Dk618_Address");
}();
const QStringList kRadioButtons = {QStringLiteral("TransparentMode"), QStringLiteral("ProtocolMode"),
                                   QStringLiteral("Select_ANI_Invalid"), QStringLiteral("Select_ANI_Valid"),
                                   QStringLiteral("AirRate19200"), QStringLiteral("AirRate9600"), QStringLiteral("TransMode")};
const QStringList kRadioLists = {QStringLiteral("Dk618_Baudrate"), QStringLiteral("Dk618_Checkmode")};
const QStringList kSubscriberNumbers = {QStringLiteral("TxFreq30"), QStringLiteral("RxFreq30"), QStringLiteral("TxFreq31"),
                                        QStringLiteral("RxFreq31"), QStringLiteral("Mlr4800_Address")};
const QStringList kSubscriberLists = {QStringLiteral("Mlr4800ComRate"), QStringLiteral("Mlr4800_Airrate")};

QStringList Snapshot(FieldAccess &f)
{
    QStringList shot;
    for (const QString &name : kRadioTexts + kSubscriberNumbers)
        shot << f.text(name);
    // Free texts as the file can carry them: a character GBK does not have
    // (one that stood for broken bytes) is stored as a stand-in.
    for (const QString &name : kSubscriberLists)
        shot << DecodeGbk(EncodeGbk(f.text(name)));
    for (const QString &name : kRadioButtons)
        shot << (f.checked(name) ? QStringLiteral("on") : QStringLiteral("off"));
    for (const QString &name : kRadioLists)
        shot << QString::number(f.itemIndex(name)) + f.text(name);
    return shot;
}

bool WriteFile(const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile()
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs a load; true when it went through. A refused file must not have
// touched the page.
template <typename Load>
bool TryLoad(FieldAccess &f, Load load)
{
    const QStringList before = Snapshot(f);
    try {
        load();
        return true;
    } catch (const Error &e) {
        if (e.message().startsWith(QStringLiteral("无法读取文件")))
            fuzz::Check(Snapshot(f) == before, "a refused file changed the page:", e.message());
        return false;
    }
}

void CheckNumbers(FieldAccess &f, const QStringList &names)
{
    for (const QString &name : names) {
        const QString text = f.text(name);
        const bool number = fuzz::NumberOrEmpty(text.startsWith(QLatin1Char('-')) ? text.mid(1) : text) && !text.isEmpty();
        fuzz::Check(number, "loaded field not a number:", name + QLatin1Char('=') + text);
    }
}

// A store, then a load of what was stored, gives the page back; a refused
// store leaves the file as it was.
template <typename Store, typename Load>
void StoreAndLoad(FieldAccess &f, Store store, Load load)
{
    const QByteArray old = ReadFile();
    const QStringList before = Snapshot(f);
    try {
        store();
    } catch (const Error &e) {
        fuzz::Check(ReadFile() == old, "a refused store changed the file:", e.message());
        return;
    }
    try {
        load();
    } catch (const Error &e) {
        fuzz::Fail("what was stored does not load:", e.message());
    }
    fuzz::Check(Snapshot(f) == before, "what was stored loads differently");
}

QByteArray Trimmed(const QByteArray &value)
{
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && (value[begin] == ' ' || value[begin] == '\t'))
        ++begin;
    while (end > begin && (value[end - 1] == ' ' || value[end - 1] == '\t'))
        --end;
    return value.mid(begin, end - begin);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    rig = new fuzz::Rig;
    // A memory-backed folder: every input is written and stored.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString folder = QStringLiteral("%1/qmset-fuzz-ini-%2").arg(base).arg(::getpid());
    QDir().mkpath(folder);
    path = folder + QStringLiteral("/params.ini");
    FieldAccess &f = rig->window->fields();
    radioFile = new RadioFile(f, *rig->window, rig->prompts);
    subscriberFile = new SubscriberFile(f, *rig->window, rig->prompts);
    std::atexit([] { QDir(QFileInfo(path).path()).removeRecursively(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    struct Edit {
        QByteArray section, key, value;
    };
    QList<Edit> edits;
    size_t pos = 1;
    auto take = [&]() {
        if (pos >= size)
            return QByteArray();
        const size_t len = std::min<size_t>(data[pos] % 32, size - pos - 1);
        const QByteArray bytes(reinterpret_cast<const char *>(data + pos + 1), qsizetype(len));
        pos += 1 + len;
        return bytes;
    };
    for (int i = 0; i < data[0] % 4; ++i) {
        Edit e;
        e.section = take();
        e.key = take();
        e.value = take();
        edits.append(e);
    }
    const QByteArray content(reinterpret_cast<const char *>(data + std::min(pos, size)), qsizetype(size - std::min(pos, size)));
    if (!WriteFile(content))
        fuzz::Fail("cannot write the work file", path);

    FieldAccess &f = rig->window->fields();
    if (TryLoad(f, [] { radioFile->Load(path); }))
        CheckNumbers(f, kRadioTexts);
    if (TryLoad(f, [] { subscriberFile->Load(path); }))
        CheckNumbers(f, kSubscriberNumbers);

    // The page as it stands now, stored into this file and loaded back. A
    // rate that selects no entry stores an empty text, which loads as the
    // conversion error the file format has for it.
    if (f.itemIndex(QStringLiteral("Dk618_Baudrate")) >= 0)
        StoreAndLoad(f, [] { radioFile->Store(path); }, [] { radioFile->Load(path); });
    StoreAndLoad(f, [] { subscriberFile->Store(path); }, [] { subscriberFile->Load(path); });

    IniDocument doc = IniDocument::fromBytes(path, content);
    for (const Edit &e : edits) {
        const QByteArray before = doc.bytes();
        try {
            doc.setValue(e.section, e.key, e.value);
        } catch (const Error &) {
            fuzz::Check(doc.bytes() == before, "a refused edit changed the document");
            continue;
        }
        fuzz::Check(doc.value(e.section, e.key, "\x01") == Trimmed(e.value), "an edit does not read back");
        const IniDocument fresh = IniDocument::fromBytes(path, doc.bytes());
        if (fresh.encoding() == doc.encoding())
            for (const Edit &other : edits)
                fuzz::Check(fresh.value(other.section, other.key, "\x01") == doc.value(other.section, other.key, "\x01"),
                            "the edited index differs from a fresh reading");
    }
    try {
        doc.save();
    } catch (const Error &e) {
        fuzz::Fail("a save into a work file failed:", e.message());
    }
    fuzz::Check(ReadFile() == doc.bytes(), "the saved file differs from the document");
    return 0;
}
