#include "register/unitregister.h"

#include "register/recordcodec.h"
#include "register/recordspool.h"
#include "register/sqlconnection.h"

#include <QCoreApplication>
#include <QSysInfo>

namespace qm {

namespace {
const QString kRecordKind = QStringLiteral("record");
const QString kGrantKind = QStringLiteral("grant");

const QString kColumns = QStringLiteral(
    "id, uid, time_utc, zone, utc_offset, station, operator_name, port, family, model, address_text, action, result, "
    "detail, field_values, differences, backup_file");

UnitRecord recordOfRow(const QSqlQuery &q)
{
    UnitRecord r;
    r.id = q.value(0).toLongLong();
    r.uid = q.value(1).toString();
    r.time = FromUtcText(q.value(2).toString());
    r.zone = q.value(3).toString();
    r.utcOffset = q.value(4).toInt();
    r.station = q.value(5).toString();
    r.operatorName = q.value(6).toString();
    r.port = q.value(7).toString();
    r.family = q.value(8).toString();
    r.model = q.value(9).toString();
    r.address = q.value(10).toString();
    r.action = q.value(11).toString();
    r.result = q.value(12).toString();
    r.detail = q.value(13).toString();
    r.values = ValuesOfJson(ArrayOfJson(q.value(14).toString()));
    r.differences = DifferencesOfJson(ArrayOfJson(q.value(15).toString()));
    r.backupFile = q.value(16).toString();
    return r;
}

// '%', '_' and the escape itself stand for themselves in a LIKE pattern.
QString likePrefix(QString text)
{
    text.replace(QLatin1Char('!'), QLatin1String("!!"));
    text.replace(QLatin1Char('%'), QLatin1String("!%"));
    text.replace(QLatin1Char('_'), QLatin1String("!_"));
    return text + QLatin1Char('%');
}

// An empty text is stored as one, not as NULL.
QString text(const QString &s)
{
    return s.isNull() ? QStringLiteral("") : s;
}

QString grantHolder()
{
    return QStringLiteral("%1:%2").arg(QSysInfo::machineHostName()).arg(QCoreApplication::applicationPid());
}
} // namespace

UnitRegister::UnitRegister(const RegisterTarget &target, const QString &spoolPath)
    : target_(target)
    , connection_(std::make_unique<SqlConnection>(target, QStringLiteral("register")))
    , spool_(std::make_unique<RecordSpool>(spoolPath))
{
}

UnitRegister::~UnitRegister() = default;

bool UnitRegister::open(QString *error)
{
    return connection_->open(error);
}

template <typename Step>
bool UnitRegister::onServer(Step step, QString *error)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connection_->open(error))
            return false;
        if (step())
            return true;
        // Still open: the statement itself failed, and would again.
        if (connection_->isOpen())
            return false;
    }
    return false;
}

bool UnitRegister::insert(const UnitRecord &r, QString *error)
{
    const qint64 address = AddressNumber(r.address);
    return onServer(
        [&] {
            return connection_->run(
                QStringLiteral("INSERT INTO unit_records (uid, time_utc, zone, utc_offset, station, operator_name, port, "
                               "family, model, address, address_text, action, result, detail, field_values, differences, "
                               "backup_file) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                               "ON CONFLICT (uid) DO NOTHING"),
                {text(r.uid), UtcText(r.time), text(r.zone), r.utcOffset, text(r.station), text(r.operatorName),
                 text(r.port), text(r.family), text(r.model),
                 address >= 0 ? QVariant(address) : QVariant(QMetaType(QMetaType::LongLong)), text(r.address),
                 text(r.action), text(r.result), text(r.detail), CompactJson(ValuesJson(r)),
                 CompactJson(DifferencesJson(r.differences)), text(r.backupFile)},
                error);
        },
        error);
}

UnitRegister::Kept UnitRegister::add(UnitRecord &record, QString *error)
{
    StampRecord(record);
    if (!target_.isServer())
        return insert(record, error) ? Kept::InRegister : Kept::Lost;
    // What waits goes first, so the server gets the records in their order.
    QString why;
    if (drain(&why) >= 0) {
        if (insert(record, &why))
            return Kept::InRegister;
        // The server answered and refused this record: waiting would not
        // change its mind.
        if (connection_->isOpen()) {
            *error = why;
            return Kept::Lost;
        }
    }
    QString spoolError;
    if (spool_->keep(target_.display(), kRecordKind, RecordJson(record), &spoolError)) {
        *error = QStringLiteral("%1; the record waits in the spool").arg(why);
        return Kept::InSpool;
    }
    *error = QStringLiteral("%1; %2").arg(why, spoolError);
    return Kept::Lost;
}

int UnitRegister::drain(QString *error)
{
    if (!target_.isServer())
        return 0;
    bool ok = false;
    const QList<RecordSpool::Entry> entries = spool_->entries(target_.display(), error, &ok);
    if (!ok)
        return -1;
    int sent = 0;
    for (const RecordSpool::Entry &e : entries) {
        const bool ok = e.kind == kRecordKind
            ? insert(RecordOfJson(e.payload), error)
            : setGrantState(e.payload.value(QStringLiteral("id")).toInteger(),
                            e.payload.value(QStringLiteral("state")).toString(), error);
        if (!ok) {
            if (!connection_->isOpen())
                return -1;
            // One the server refuses stays in the spool for a person to
            // look at, and holds up none behind it.
            continue;
        }
        if (e.kind == kRecordKind)
            ++sent;
        // Sent twice, a record is still kept once: its uid is unique.
        if (!spool_->remove(e.id, error))
            return -1;
    }
    return sent;
}

int UnitRegister::waiting(QString *error)
{
    QString ignored;
    return target_.isServer() ? spool_->waiting(target_.display(), error ? error : &ignored) : 0;
}

bool UnitRegister::find(const RecordFilter &filter, QList<UnitRecord> *records, QString *error)
{
    QStringList where;
    QVariantList values;
    if (!filter.family.isEmpty()) {
        where << QStringLiteral("family = ?");
        values << filter.family;
    }
    if (filter.address >= 0) {
        where << QStringLiteral("address = ?");
        values << filter.address;
    }
    if (!filter.model.isEmpty()) {
        where << QStringLiteral("model LIKE ? ESCAPE '!'");
        values << likePrefix(filter.model);
    }
    if (filter.since.isValid()) {
        where << QStringLiteral("time_utc >= ?");
        values << UtcText(filter.since);
    }
    if (filter.until.isValid()) {
        where << QStringLiteral("time_utc < ?");
        values << UtcText(filter.until);
    }
    QString sql = QStringLiteral("SELECT %1 FROM unit_records").arg(kColumns);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY time_utc DESC, id DESC");
    if (filter.limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << filter.limit;
    }
    records->clear();
    return onServer(
        [&] {
            QSqlQuery query;
            if (!connection_->run(sql, values, error, &query))
                return false;
            while (query.next())
                records->append(recordOfRow(query));
            return true;
        },
        error);
}

std::optional<AddressGrant> UnitRegister::takeAddress(const QString &family, qint32 first, qint32 step, qint32 last,
                                                      QString *error, bool *usedUpOut)
{
    if (usedUpOut)
        *usedUpOut = false;
    if (step < 1 || first < 0 || first > last) {
        *error = QStringLiteral("no address series from %1 step %2 up to %3").arg(first).arg(step).arg(last);
        return std::nullopt;
    }
    AddressGrant grant;
    grant.family = family;
    const QString holder = grantHolder();
    bool usedUp = false;
    const bool ok = onServer(
        [&] {
            SqlConnection &c = *connection_;
            const auto fail = [&] {
                c.rollback();
                return false;
            };
            if (!c.begin(error))
                return false;
            QSqlQuery q;
            if (!c.run(QStringLiteral("INSERT INTO address_series (family, first_address, step, next_address) "
                                      "VALUES (?, ?, ?, ?) ON CONFLICT (family, first_address, step) DO NOTHING"),
                       {family, first, step, first}, error)
                || !c.run(QStringLiteral("SELECT id FROM address_series WHERE family = ? AND first_address = ? AND step = ?"),
                          {family, first, step}, error, &q)
                || !q.next())
                return fail();
            const qint64 series = q.value(0).toLongLong();
            q.finish();
            const QString now = UtcText(QDateTime::currentDateTimeUtc());
            // An address given back goes out first.
            if (!c.run(QStringLiteral("UPDATE address_grants SET state = 'taken', station = ?, time_utc = ? WHERE id = "
                                      "(SELECT id FROM address_grants WHERE series_id = ? AND state = 'released' "
                                      "ORDER BY address LIMIT 1{lock}) RETURNING id, address"),
                       {holder, now, series}, error, &q))
                return fail();
            if (q.next()) {
                grant.id = q.value(0).toLongLong();
                grant.address = q.value(1).toInt();
                q.finish();
                return c.commit(error) || fail();
            }
            q.finish();
            // The series' next address; one another series of the family
            // gave out is passed over.
            for (;;) {
                if (!c.run(QStringLiteral("UPDATE address_series SET next_address = next_address + step WHERE id = ? "
                                          "RETURNING next_address - step"),
                           {series}, error, &q)
                    || !q.next())
                    return fail();
                const qint64 address = q.value(0).toLongLong();
                q.finish();
                if (address > last) {
                    usedUp = true;
                    *error = QStringLiteral("the address series from %1 step %2 is used up (the last address is %3)")
                                 .arg(first)
                                 .arg(step)
                                 .arg(last);
                    return fail();
                }
                if (!c.run(QStringLiteral("INSERT INTO address_grants (series_id, family, address, state, station, time_utc) "
                                          "VALUES (?, ?, ?, 'taken', ?, ?) ON CONFLICT (family, address) DO NOTHING RETURNING id"),
                           {series, family, address, holder, now}, error, &q))
                    return fail();
                if (q.next()) {
                    grant.id = q.value(0).toLongLong();
                    grant.address = qint32(address);
                    q.finish();
                    return c.commit(error) || fail();
                }
                q.finish();
            }
        },
        error);
    if (usedUpOut)
        *usedUpOut = usedUp;
    if (!ok || usedUp)
        return std::nullopt;
    return grant;
}

bool UnitRegister::setGrantState(qint64 id, const QString &state, QString *error)
{
    return onServer(
        [&] {
            return connection_->run(QStringLiteral("UPDATE address_grants SET state = ? WHERE id = ? AND state = 'taken'"),
                                    {text(state), id}, error);
        },
        error);
}

bool UnitRegister::changeGrant(const AddressGrant &grant, const QString &state, QString *error)
{
    if (grant.id <= 0) {
        *error = QStringLiteral("no address was handed out");
        return false;
    }
    QString why;
    if (target_.isServer() && drain(&why) < 0) {
        // Behind what waits already.
    } else if (setGrantState(grant.id, state, &why)) {
        return true;
    } else if (!target_.isServer()) {
        *error = why;
        return false;
    }
    QString spoolError;
    if (spool_->keep(target_.display(), kGrantKind, {{QStringLiteral("id"), grant.id}, {QStringLiteral("state"), state}},
                     &spoolError)) {
        *error = QStringLiteral("%1; address %2 is marked %3 when the server is back").arg(why).arg(grant.address).arg(state);
        return true;
    }
    *error = QStringLiteral("%1; %2").arg(why, spoolError);
    return false;
}

bool UnitRegister::release(const AddressGrant &grant, QString *error)
{
    return changeGrant(grant, QStringLiteral("released"), error);
}

bool UnitRegister::settle(const AddressGrant &grant, bool written, QString *error)
{
    return changeGrant(grant, written ? QStringLiteral("used") : QStringLiteral("spoilt"), error);
}

QString UnitRegister::addressState(const QString &family, qint32 address, QString *error)
{
    QString state;
    onServer(
        [&] {
            QSqlQuery q;
            if (!connection_->run(QStringLiteral("SELECT state FROM address_grants WHERE family = ? AND address = ?"),
                                  {family, address}, error, &q))
                return false;
            if (q.next())
                state = q.value(0).toString();
            return true;
        },
        error);
    return state;
}

} // namespace qm
