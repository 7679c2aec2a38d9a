#pragma once
// The register of units: every exchange with a unit as a record, the
// records of one unit or model found again, and the hand-out of addresses
// so that no two units get the same one, on one station or on several
// sharing a server. One object per thread: it holds its own connection.
//
// A server that cannot be reached loses nothing: a record (or an address's
// new state) waits in the local spool and is sent, oldest first, the next
// time the server answers.

#include "common/unitrecord.h"
#include "register/registertarget.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace qm {

class RecordSpool;
class SqlConnection;

struct RecordFilter {
    QString family{};  // empty: every family
    QString model{};   // records whose model text begins with it
    qint64 address = -1;
    QDateTime since{}; // from this instant on; invalid: no bound
    QDateTime until{}; // before this instant; invalid: no bound
    int limit = 0;     // at most this many, newest first; 0: all
};

// An address handed out, until release() or settle() says what became of it.
struct AddressGrant {
    qint64 id = 0;
    QString family{};
    qint32 address = -1;
};

class UnitRegister {
public:
    explicit UnitRegister(const RegisterTarget &target, const QString &spoolPath = DefaultSpoolPath());
    ~UnitRegister();
    UnitRegister(const UnitRegister &) = delete;
    UnitRegister &operator=(const UnitRegister &) = delete;

    const RegisterTarget &target() const { return target_; }
    // Connects and brings the tables up to date (done by every call below
    // when needed); false with the reason.
    bool open(QString *error);

    enum class Kept { InRegister, InSpool, Lost };
    // Stamps the record (StampRecord) and adds it; its id is set. A server
    // that cannot be reached: InSpool, *error says why. Lost when neither
    // the register nor the spool could take it.
    Kept add(UnitRecord &record, QString *error);
    // Sends the spool's entries for this server, oldest first; the number
    // of records sent, -1 when the server cannot be reached (what was sent
    // before stays sent).
    int drain(QString *error);
    // Records waiting in the spool for this server; -1 when unknown.
    int waiting(QString *error = nullptr);
    RecordSpool &spool() { return *spool_; }

    // The records under filter, newest first; false when the register
    // cannot be read.
    bool find(const RecordFilter &filter, QList<UnitRecord> *records, QString *error);

    // The next address of the series first, first + step, ... of family,
    // at most last: one given back by a unit that failed before anything
    // was sent, else the next the series has not handed out, skipping any
    // address of the family another series gave out. One transaction, so
    // stations racing for an address never get the same one. Null with the
    // reason when the server cannot be reached or the series is used up
    // (then *usedUp, when given, is set).
    std::optional<AddressGrant> takeAddress(const QString &family, qint32 first, qint32 step, qint32 last, QString *error,
                                            bool *usedUp = nullptr);
    // Nothing was sent to the unit: the address goes out again.
    bool release(const AddressGrant &grant, QString *error);
    // The write began: the address stays the unit's, written or not, and is
    // never handed out again. A server away: the new state waits in the
    // spool (true, *error says so).
    bool settle(const AddressGrant &grant, bool written, QString *error);
    // What became of an address: "taken", "released", "used", "spoilt";
    // empty when it was never handed out or cannot be read.
    QString addressState(const QString &family, qint32 address, QString *error);

private:
    bool insert(const UnitRecord &record, QString *error);
    bool setGrantState(qint64 id, const QString &state, QString *error);
    bool changeGrant(const AddressGrant &grant, const QString &state, QString *error);
    // Runs step on the server, once more on a fresh connection when the old
    // one broke (a server restarted in between).
    template <typename Step>
    bool onServer(Step step, QString *error);

    RegisterTarget target_;
    std::unique_ptr<SqlConnection> connection_;
    std::unique_ptr<RecordSpool> spool_;
};

} // namespace qm
