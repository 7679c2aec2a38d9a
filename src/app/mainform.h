#pragma once
// The main window: menu, tool bar, family pages, status bar, monitor panel,
// the serial link and the timers that drive the exchanges.

#include "app/keysequence.h"
#include "common/report.h"
#include "link/link.h"

#include <QHash>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QShortcut;
class QTabWidget;
class QTimer;
class QToolBar;
class QToolButton;

namespace qm {

class CentralExchange;
class ComparePage;
class CuePlayer;
class FamilyReport;
class Dk618Page;
class FieldAccess;
class FieldRules;
class Mlb4800Page;
class MonitorMemo;
class PortKeeper;
class PortLister;
class Mlr4800Page;
class Prompts;
class RadioExchange;
class RadioFile;
class RecordKeeper;
class SafetyNet;
class PanelLabel;
class TMlbAddrTable_Form;
class SubscriberExchange;
class SubscriberFile;
class TAutoSet_Form;
class TypedValues;
class TPassword;
class TSet_Form;
class TestExchange;
class TestPage;
class TestRunCommands;
class UnitReader;
class WriteChecks;
struct Family;
struct LineSettings;
class TVersionInfo;
class WidgetFields;

struct MainFormOptions {
    // COMn -> device path, from --port.
    QHash<QString, QString> portMap;
    // Message boxes and file dialogs; the window's own when null.
    Prompts *prompts = nullptr;
    // Simulate mode: family ("dk618", "mlb4800", "mlr4800") -> device of its
    // simulated unit. Choosing a family page points COM1 at that device.
    QHash<QString, QString> simulatedUnits;
    // The serial devices present; the system's own when null.
    PortLister *portLister = nullptr;
};

// The memo line after a read or write that got no answer: the line in force,
// the family's usual line and what to do, e.g. "当前串口 COM1,1200,E；数传电台
// 通常为 19200,N，可用 自动 检测".
QString NoAnswerHint(const Family &family, const QString &port, const LineSettings &line);

class TMainForm : public QMainWindow, public Report {
    Q_OBJECT
public:
    explicit TMainForm(const MainFormOptions &options = {}, QWidget *parent = nullptr);
    ~TMainForm() override;

    Link &link() { return link_; }
    Prompts &prompts() { return *prompts_; }
    FieldAccess &fields();
    Dk618Page *dk618Page() const { return dk618_; }
    RadioExchange &radioExchange() { return *radio_; }
    Mlb4800Page *mlb4800Page() const { return mlb4800_; }
    CentralExchange &centralExchange() { return *central_; }
    TMlbAddrTable_Form *mlbAddrTableForm() const { return MlbAddrTable_Form.get(); }
    Mlr4800Page *mlr4800Page() const { return mlr4800_; }
    SubscriberExchange &subscriberExchange() { return *subscriber_; }
    TestPage *testPage() const { return test_; }
    TestExchange &testExchange() { return *testExchange_; }
    TestRunCommands &testRun() { return *testRun_; }
    SafetyNet &safetyNet() { return *safetyNet_; }
    UnitReader &unitReader() { return *reader_; }
    WriteChecks &writeChecks() { return *writeChecks_; }
    ComparePage &comparePage() { return *comparePage_; }
    RecordKeeper &records() { return *records_; }
    // The family of a family page; null for the other pages.
    const Family *familyOfPage(QWidget *page) const;

    // Report
    void memo(const QString &line) override;
    void panel(int index, const QString &text) override;
    void ClearFields() override;
    void addRecord(const UnitRecord &record) override;

    // Menu and tool bar commands.
    void DataTransClick();
    void QM4700Click();
    void MLB4800Click();
    void MLR4800Click();
    void Watch_OpenClick();
    void ToolsClick();
    void Exit_ProClick();
    void SetSysConfigClick();
    void Disp_TimerClick();
    void MusicClick();
    void VersionClick();
    // The three-tone sound cue, only while Music is checked.
    void PlayCue(int f1, int f2, int duration);
    void TimerDispDblClick();
    // The settings dialog's OK and automatic buttons; ToolButton6 presses
    // the latter without showing the dialog.
    void Set_ComOKClick();
    void Set_ComAutoClick();
    void ToolButton6Click();
    // 取消 beside the progress, and Escape: ends the running read or write
    // of a page, or a read beside the pages, at once.
    void CancelExchangeClick();

    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Timer4Timer();

    // The test page: asks for the test password once per run, shows the
    // page and reads its trimming values; TestShow applies the access on
    // every showing.
    void ConfigTestClick();
    void TestShow();

protected:
    // Key preview: every character typed anywhere in the window passes the
    // hidden key sequence before it reaches the control with the focus.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildToolBar();
    void buildPanels();
    void buildStatusBar();
    void wireTestPage();
    void buildSafetyNet();
    // The register of units: its menu items, and the report of each
    // family page's exchanges, through which their reads and writes leave
    // their records.
    void buildRecords();
    Report &pageReport(const QString &family);
    void FormCreate();
    void setClientSize(int width, int height);
    void activatePage(QWidget *page);
    // A lost port (or a refused queued write, which also drops a pending
    // test reading) ends the running page exchange at once as failed.
    void endPageExchanges(bool measurementToo);
    void hookCentralPage();
    // The report of one family's exchanges: the window's, and each line to
    // familyLine() with the family named.
    Report &familyReport(const QString &family);
    void familyLine(const QString &family, const QString &line);
    // Whether the exchange of a family page runs.
    bool pageBusy(QWidget *page);
    // Simulate mode: COM1 follows the simulated unit of the chosen family.
    void followSimulatedUnit(const QString &family);
    void KeyPreview(const QKeyEvent *key);
    // Serial devices (mainformports.cpp): the device choice of the settings
    // dialog, COM1 on the only USB adapter at start-up, the device named in
    // the port panel's tool tip, and the port reopened when its device
    // comes back.
    void wirePorts();
    void autoMapCom1();
    void mapDevice(const QString &portName, const QString &device);
    QString portToolTip();
    QAction *makeAction(const QString &name, const QString &caption, const QString &hint);
    // Exchange ends (mainformexchanges.cpp): the cancel button and key,
    // shown and enabled only while a read or write runs, and the hint
    // after an unanswered one.
    void wireExchangeEnds();
    bool exchangeCancellable();
    void updateCancel();
    void queueCancelUpdate();
    // Quitting (mainformquit.cpp): what the user typed since the last
    // read, load, store or write of each page, and the readings not yet
    // exported, asked about when the window closes.
    void wireTypedValues();
    // Runs a page's read or write click; the exchange it starts belongs to
    // page.
    void startExchange(QWidget *page, const std::function<void()> &click);
    void exchangeOutcome(const QString &line);
    // A store or load of page: done when the file was written or read.
    void fileDone(QWidget *page, bool done);
    QStringList unsavedWork() const;
    bool mayQuit();
    bool saveBeforeQuit();

    Link link_;
    std::unique_ptr<Prompts> ownPrompts_;
    Prompts *prompts_ = nullptr;
    FieldRules *rules_ = nullptr;
    std::unique_ptr<WidgetFields> fields_;
    std::vector<std::unique_ptr<FamilyReport>> familyReports_;
    SafetyNet *safetyNet_ = nullptr;
    UnitReader *reader_ = nullptr;
    WriteChecks *writeChecks_ = nullptr;
    ComparePage *comparePage_ = nullptr;
    RecordKeeper *records_ = nullptr;
    // The backup the last successful page read left, for its record.
    QString lastBackup_;
    std::unique_ptr<RadioExchange> radio_;
    std::unique_ptr<RadioFile> radioFile_;
    std::unique_ptr<CentralExchange> central_;
    std::unique_ptr<SubscriberExchange> subscriber_;
    std::unique_ptr<SubscriberFile> subscriberFile_;
    QHash<QString, QString> simulatedUnits_;
    std::unique_ptr<TestExchange> testExchange_;
    TestRunCommands *testRun_ = nullptr;
    bool shownOnce_ = false;
    bool openFailedAtStart_ = false;
    std::unique_ptr<PortLister> ownLister_;
    PortLister *lister_ = nullptr;
    PortKeeper *keeper_ = nullptr;
    // Automatic reading was on when the port was lost: it resumes when the
    // device comes back.
    bool resumeAutoRead_ = false;

    // Actions
    QAction *SetSysConfig, *DataTrans, *QM4700, *MLB4800, *MLR4800, *Exit_Pro;
    QAction *Disp_Timer, *Music, *Tools, *Watch_Open, *Version, *ConfigTest;
    // Opens the trend window; usable once the test page has been shown.
    QAction *Trend_Item;
    QAction *N1, *T1, *O1;
    QMenu *Ter_Select, *QM4700S, *M1;
    QActionGroup *topFamilies_, *seriesFamilies_;

    QToolBar *ToolBar;
    QLabel *TimerDisp;
    // The tool bar shows and hides the clock through the action it made
    // for it; hiding the label itself does not last.
    QAction *timerDispItem_ = nullptr;
    QFrame *MainPanel;
    QTabWidget *PageControl;
    QFrame *Watch_Frame;
    MonitorMemo *Watch_Window;
    PanelLabel *StatusPanel[3];
    QPushButton *CancelExchange;
    QShortcut *cancelKey_ = nullptr;
    bool cancelQueued_ = false;
    TypedValues *typed_ = nullptr;
    // The page of the last read or write started.
    QWidget *exchangePage_ = nullptr;
    Dk618Page *dk618_;
    QWidget *qm4700_;
    Mlb4800Page *mlb4800_;
    Mlr4800Page *mlr4800_;
    TestPage *test_;
    TSet_Form *Set_Form;
    // A window of its own, owned here but not a QObject child (see its
    // header).
    std::unique_ptr<TMlbAddrTable_Form> MlbAddrTable_Form;
    TAutoSet_Form *AutoSet_Form;
    TPassword *Password;
    TVersionInfo *VersionInfo;
    CuePlayer *cue_;
    KeySequence keys_;
    QTimer *Timer1, *Timer2, *Timer3, *Timer4;
};

} // namespace qm
