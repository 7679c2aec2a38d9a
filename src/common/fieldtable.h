#pragma once
// One table per unit family describes every field of its page once: the
// control's objectName, the parameter file's key and how the value is
// stored and loaded, the caption, the kind of control, what a write checks,
// and whether a write sends it and a read returns it. The parameter files,
// the command line, the window's compare and backups all walk these tables,
// so no field list is written twice.
//
// The tables themselves live with their family (radio/dk618fields.h,
// units/mlb4800fields.h, units/mlr4800fields.h); this header holds the
// description and the walks that need nothing of a family.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace qm {

class FieldAccess;
class IniDocument;

enum class FieldKind {
    Edit,      // a line edit: text
    Check,     // a check box: checked or not
    RadioPair, // two radio buttons, name and partner; checking one unchecks the other
    Combo,     // a combo box: text, and the item whose text it is
};

// How a field travels to and from the parameter file.
enum class FileRule {
    None,         // not in the file; loading leaves it alone
    Number,       // stored as its text; loaded as a whole number shown in decimal
    Text,         // stored and loaded as its text, unchanged
    Choice,       // Check / RadioPair: onValue when name is checked, else offValue
    NumberToItem, // Combo: stored as its text; loaded as a whole number n, item itemOfNumber(n)
    ValueToItem,  // Combo: stored as its text; loaded as the item whose value it is in valueItems,
                  // any other value fallbackItem
};

struct FieldSpec {
    QString name{};    // objectName of the control (for a RadioPair the one that onValue stands for)
    FieldKind kind = FieldKind::Edit;
    QString caption{}; // what the page labels it
    QByteArray key{};  // GBK key in the family's section; empty when not in the file
    FileRule rule = FileRule::None;
    QByteArray defaultValue{}; // GBK; what loading takes when the key is missing
    // Choice: the texts stored for name checked / not checked. Loading: the
    // value equal to onValue checks name when loadMatchesOn, else the value
    // equal to offValue unchecks it (checks the partner); any other value
    // does the opposite. For fields without a key they are only the texts
    // shown and compared.
    QByteArray onValue{}, offValue{};
    bool loadMatchesOn = true;
    QString partner{};        // RadioPair: the other button
    QString partnerCaption{}; // RadioPair: its caption
    QStringList items{};      // Combo: the list
    int (*itemOfNumber)(qint32) = nullptr; // NumberToItem
    QList<QByteArray> valueItems{};        // ValueToItem: GBK texts of items 0, 1, ...
    int fallbackItem = -1;                 // ValueToItem
    // The page's state before anything is entered: the text of an edit or
    // combo, "1" when name is checked.
    QString initial{};

    // What a write checks. An edit whose maximum is at least its minimum
    // must hold a whole number in [minimum, maximum] and, when multipleOf is
    // set, a multiple of it; a combo with listOnly must show one of its
    // items.
    qint64 minimum = 0;
    qint64 maximum = -1;
    qint32 multipleOf = 0;
    bool listOnly = false;
    // An edit holding a frequency in units of 100 Hz: 4330100 is 433.0100 MHz.
    bool frequency = false;

    bool sent = false;     // a write exchange sends it
    bool returned = false; // a read exchange fills it

    bool stored() const { return !key.isEmpty() && rule != FileRule::None; }
    // The INI key as text, or the objectName for a field without a key.
    QString keyText() const;
};

struct FieldTable {
    QString family;     // "dk618", "mlb4800", "mlr4800"
    QByteArray section; // the INI section, e.g. "File_DK618"
    // The family as its page names it, in every message and list:
    // "数传电台", "MLB4800", "MLR4800".
    QString caption{};
    // The model of a unit that does not name its own ("MLB4800"); empty
    // for the data radio, which does.
    QString defaultModel{};
    // Stored fields in the order they are written and read; fields without
    // a key may stand anywhere.
    QList<FieldSpec> fields{};
    // A rule between fields that a write checks after the fields' own
    // checks: the problem as "KEY=VALUE: reason", or empty. May be null.
    QString (*crossCheck)(const FieldAccess &fields) = nullptr;

    const FieldSpec *find(const QString &name) const;
    // The stored field whose INI key is key (GBK, compared as the INI layer
    // compares names), or null.
    const FieldSpec *findKey(const QByteArray &key) const;
};

// ---- The parameter file ----------------------------------------------------

// Writes every stored field of table into doc, in table order.
void StoreFields(const FieldTable &table, const FieldAccess &fields, IniDocument &doc);
// Reads every stored field in table order, each with its default, setting
// each field as soon as its key is read. A number that is no integer throws
// Error and the later fields keep what they held; failedAt, when given, is
// then the field whose value it was. Returns HoldsSection(): false when
// every field took its default.
bool LoadFields(const FieldTable &table, FieldAccess &fields, const IniDocument &doc,
                const FieldSpec **failedAt = nullptr);
// Sets one stored field from its value in a file (GBK), as LoadFields
// does; a number that is no integer throws Error.
void LoadFileValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QByteArray &value);
// The same on a file: one atomic save (other keys and sections untouched),
// and a load through the INI layer's refusals. Both throw Error naming the
// file.
void StoreFieldsToFile(const FieldTable &table, const FieldAccess &fields, const QString &path);
bool LoadFieldsFromFile(const FieldTable &table, FieldAccess &fields, const QString &path,
                        const FieldSpec **failedAt = nullptr);

// Whether doc holds the family's parameters: any key of its section.
bool HoldsSection(const FieldTable &table, const IniDocument &doc);
// "文件中没有数传电台参数：FILE", or with defaultsTaken
// "文件中没有数传电台参数，已取默认值：FILE", in the family's own words.
QString MissingSectionText(const FieldTable &table, const QString &path, bool defaultsTaken);

// ---- Backups ---------------------------------------------------------------

// A backup holds every field a read fills: the parameter file's keys, and
// beyond them, in the backup only, the fields the file does not keep (the
// data radio's spacing, band, series and PTT limit), by objectName.
bool BackedUp(const FieldSpec &fieldSpec);
void StoreBackupFields(const FieldTable &table, const FieldAccess &fields, IniDocument &doc);
struct BackupLoad {
    bool section = false; // HoldsSection()
    bool extras = false;  // every field beyond the file's keys was there
};
// Loads a backup as a parameter file, then the fields beyond the file's
// keys that it holds. Throws Error as LoadFieldsFromFile does.
BackupLoad LoadBackupFields(const FieldTable &table, FieldAccess &fields, const QString &path);

// ---- Values and comparison -------------------------------------------------

// A field's value as text: for a stored field exactly what the file would
// hold (decoded from GBK); otherwise the text of an edit or combo, or
// onValue / offValue of a check box or radio pair ("1" / "0" without them).
QString FieldValue(const FieldSpec &fieldSpec, const FieldAccess &fields);

// Sets a field to a FieldValue text: the inverse of FieldValue for a field
// without a key (an edit's or combo's text, a button's onValue / offValue
// or "1" / "0"). A text that names no state leaves a button alone.
void SetFieldValue(const FieldSpec &fieldSpec, FieldAccess &fields, const QString &value);

// objectName -> FieldValue of every field of a table: a snapshot that
// outlives the fields it was taken from.
using FieldValues = QMap<QString, QString>;
FieldValues Snapshot(const FieldTable &table, const FieldAccess &fields);

// Which fields a comparison looks at: a field is compared when it has every
// property asked for (none asked: every field).
enum FieldScope : unsigned {
    AllFields = 0,
    StoredFields = 1,   // in the parameter file
    SentFields = 2,     // sent by a write
    ReturnedFields = 4, // filled by a read
    BackupFields = 8,   // in a backup: BackedUp()
};

struct FieldDifference {
    QString name;    // objectName
    QString key;     // FieldSpec::keyText()
    QString caption;
    QString a, b;    // the two values
};

bool InScope(const FieldSpec &fieldSpec, unsigned scope);
// The fields of table, in table order, whose values differ between a and b.
// A field missing from a snapshot counts as an empty value.
QList<FieldDifference> Differences(const FieldTable &table, const FieldValues &a, const FieldValues &b,
                                   unsigned scope = AllFields);
QList<FieldDifference> Differences(const FieldTable &table, const FieldAccess &a, const FieldAccess &b,
                                   unsigned scope = AllFields);

// A frequency field's value in MHz, "433.0100 MHz" for "4330100"; empty for
// a text that is no whole number.
QString FrequencyMhzText(const QString &value);

// ---- What a file value may hold --------------------------------------------

// The texts (GBK) a list or choice field stores: a combo's items, a check
// box's or radio pair's onValue and offValue; empty for any other field.
QList<QByteArray> FileTexts(const FieldSpec &fieldSpec);
// Whether the field holds a whole number: an edit with a range, or a value
// stored and loaded as a number.
bool HoldsNumber(const FieldSpec &fieldSpec);
// A value of a stored field as a file (or a script) gives it, checked
// before it is loaded: a value loaded as a number must be a whole number,
// the value of a list or choice field one of its FileTexts (loading would
// take any other text as some item). "KEY=VALUE: reason", or empty.
QString CheckFileValue(const FieldSpec &fieldSpec, const QByteArray &value);
// The same for a key of table's section; a key the table does not know is
// refused as "KEY: not a key of [SECTION]".
QString CheckFileValue(const FieldTable &table, const QByteArray &key, const QByteArray &value);

// ---- What a write checks ---------------------------------------------------

// The first field (in table order) among those a write sends whose value
// does not pass its check, as "KEY=VALUE: reason", then the table's
// crossCheck; empty when all pass.
QString CheckWritable(const FieldTable &table, const FieldAccess &fields);

} // namespace qm
