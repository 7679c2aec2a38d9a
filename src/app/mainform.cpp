#include "app/mainform.h"
#include "app/mainformwiring.h"

#include "app/autosetform.h"
#include "app/mlbaddrtableform.h"
#include "app/cueplayer.h"
#include "app/familyreport.h"
#include "app/monitormemo.h"
#include "app/password.h"
#include "app/recordkeeper.h"
#include "app/safetynet.h"
#include "app/setform.h"
#include "app/panellabel.h"
#include "app/unitreader.h"
#include "app/writechecks.h"
#include "app/comparepage.h"
#include "app/versioninfo.h"
#include "app/widgetprompts.h"
#include "common/errors.h"
#include "link/exchange.h"
#include "link/portlist.h"
#include "common/inifile.h"
#include "headless/families.h"
#include "pagekit/fieldrules.h"
#include "pagekit/spinbutton.h"
#include "pagekit/widgetfields.h"
#include "pagekit/widgetmaker.h"
#include "radio/dk618fields.h"
#include "radio/dk618page.h"
#include "radio/radioexchange.h"
#include "radio/radiofile.h"
#include "units/centralexchange.h"
#include "units/mlb4800fields.h"
#include "units/mlb4800page.h"
#include "units/mlr4800fields.h"
#include "units/mlr4800page.h"
#include "units/subscriberexchange.h"
#include "units/subscriberfile.h"
#include "testpage/testexchange.h"
#include "testpage/testpage.h"
#include "testpage/testruncommands.h"
#include "units/unitpages.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>


namespace qm {


TMainForm::TMainForm(const MainFormOptions &options, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                              | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
    , link_(this)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("QM4700终端参数设置软件"));
    // The layout is placed by the pixel; one type size keeps it in shape
    // whatever the desktop's default.
    QFont type = font();
    type.setPixelSize(12);
    setFont(type);
    if (options.prompts) {
        prompts_ = options.prompts;
    } else {
        ownPrompts_ = std::make_unique<WidgetPrompts>(this);
        prompts_ = ownPrompts_.get();
    }
    link_.port().setPortMap(options.portMap);
    simulatedUnits_ = options.simulatedUnits;
    rules_ = new FieldRules(*prompts_, this);

    buildMenus();
    buildPanels();
    buildToolBar();
    buildStatusBar();

    fields_ = std::make_unique<WidgetFields>(this);
    buildSafetyNet();
    buildRecords();
    radio_ = std::make_unique<RadioExchange>(link_, *fields_, pageReport(QStringLiteral("dk618")), *prompts_);
    radioFile_ = std::make_unique<RadioFile>(*fields_, *this, *prompts_);
    on(dk618_->Dk618_Write_Data, &QPushButton::clicked, this, [this] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("dk618")), [this] {
            Guard([this] { startExchange(dk618_, [this] { radio_->Dk618_Write_DataClick(); }); });
        });
    });
    on(dk618_->Dk618_Read_Data, &QPushButton::clicked, this, [this] {
        safetyNet_->read(dk618_, [this] { startExchange(dk618_, [this] { radio_->Dk618_Read_DataClick(); }); });
    });
    on(dk618_->Dk618_Save_File, &QPushButton::clicked, this, [this] { fileDone(dk618_, radioFile_->Dk618_Save_FileClick()); });
    on(dk618_->Dk618_Read_File, &QPushButton::clicked, this, [this] {
        safetyNet_->change(dk618_, text::LoadFileChange, [this](QString *file) { fileDone(dk618_, radioFile_->Dk618_Read_FileClick(file)); });
    });
    on(N1, &QAction::triggered, this, [this] { radio_->N1Click(); });
    on(T1, &QAction::triggered, this, [this] { radio_->T1Click(); });
    on(O1, &QAction::triggered, this, [this] { radio_->O1Click(); });
    hookCentralPage();
    subscriber_ = std::make_unique<SubscriberExchange>(link_, *fields_, pageReport(QStringLiteral("mlr4800")), *prompts_);
    subscriberFile_ = std::make_unique<SubscriberFile>(*fields_, *this, *prompts_);
    on(mlr4800_->Mlr4800_WriteData, &QPushButton::clicked, this, [this] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("mlr4800")), [this] {
            Guard([this] { startExchange(mlr4800_, [this] { subscriber_->Mlr4800_WriteDataClick(); }); });
        });
    });
    on(mlr4800_->Mlr4800_ReadData, &QPushButton::clicked, this, [this] {
        safetyNet_->read(mlr4800_, [this] { startExchange(mlr4800_, [this] { subscriber_->Mlr4800_ReadDataClick(); }); });
    });
    on(mlr4800_->Mlr4800_SaveFile, &QPushButton::clicked, this, [this] { fileDone(mlr4800_, subscriberFile_->Mlr4800_SaveFileClick()); });
    on(mlr4800_->Mlr4800_ReadFile, &QPushButton::clicked, this, [this] {
        safetyNet_->change(mlr4800_, text::LoadFileChange, [this](QString *file) { fileDone(mlr4800_, subscriberFile_->Mlr4800_ReadFileClick(file)); });
    });

    connect(&link_, &Link::monitorLine, this, [this](const QString &line) { memo(line); });
    // A lost port ends the running exchange at once (after the loss itself
    // is reported), whichever page it belongs to.
    connect(&link_, &Link::portLost, this, [this] { endPageExchanges(false); });
    // A queued write that failed is a refused write: reported once, and the
    // exchange that waits for its reply ends as failed now.
    connect(&link_, &Link::writeFailed, this, [this](const QString &message) {
        ReportError(message);
        endPageExchanges(true);
    });
    connect(&link_, &Link::portStatus, this, [this](const QString &text) { panel(1, text); });

    if (options.portLister) {
        lister_ = options.portLister;
    } else {
        ownLister_ = std::make_unique<SystemPortLister>();
        lister_ = ownLister_.get();
    }
    Set_Form = new TSet_Form(*lister_, this);
    // The device choice takes a typed path; the three lists take no typing.
    for (auto *list : Set_Form->findChildren<QComboBox *>())
        if (list->objectName() != QLatin1String("Set_Device"))
            rules_->addNoTypingList(list);
    wirePorts();
    on(Set_Form, &TSet_Form::okPressed, this, [this] { Set_ComOKClick(); });
    on(Set_Form, &TSet_Form::autoPressed, this, [this] { Set_ComAutoClick(); });
    AutoSet_Form = new TAutoSet_Form(link_, *this, this);
    // The radio found: read it exactly as the read button does.
    AutoSet_Form->onFound = [this] {
        Guard([this] { safetyNet_->read(dk618_, [this] { startExchange(dk618_, [this] { radio_->Dk618_Read_DataClick(); }); }); });
    };
    MlbAddrTable_Form = std::make_unique<TMlbAddrTable_Form>(this);
    VersionInfo = new TVersionInfo(this);
    Password = new TPassword(*prompts_, this);
    cue_ = new CuePlayer(this);

    Timer1 = new QTimer(this);
    Timer2 = new QTimer(this);
    Timer3 = new QTimer(this);
    Timer4 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    Timer1->setInterval(100);
    Timer2->setInterval(100);
    Timer3->setInterval(100);
    Timer4->setInterval(300);
    on(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    on(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    on(Timer3, &QTimer::timeout, this, [this] { Timer3Timer(); });
    on(Timer4, &QTimer::timeout, this, [this] { Timer4Timer(); });
    wireTestPage();
    wireExchangeEnds();

    FormCreate();
    // The pages as the program starts them: the baseline of what is typed.
    wireTypedValues();
    qApp->installEventFilter(this);

    Timer1->start();
    Timer2->start();
    Timer3->start();
}

TMainForm::~TMainForm()
{
    AutoSet_Form->abort();
    qApp->removeEventFilter(this);
}

void TMainForm::endPageExchanges(bool measurementToo)
{
    // A read beside the pages ends its own exchange.
    if (reader_->busy())
        return;
    Guard([this, measurementToo] {
        radio_->PortLost();
        central_->PortLost();
        subscriber_->PortLost();
        if (measurementToo && RunningExchange(link_.state()) == ExchangeOwner::Measurement)
            link_.state().MeasurePending = false;
    });
}

FieldAccess &TMainForm::fields()
{
    return *fields_;
}

void TMainForm::FormCreate()
{
    keys_ = KeySequence{};
    Watch_Frame->hide();
    // Tabs stay hidden: pages are chosen from the menu and the tool bar.
    // The page area hands the focus to its hidden tab bar, so it must not
    // take the focus itself: Tab would stop there and no field could be
    // reached from the keyboard.
    PageControl->tabBar()->hide();
    PageControl->setFocusPolicy(Qt::NoFocus);
    PageControl->tabBar()->setFocusPolicy(Qt::NoFocus);
    setClientSize(MainPanel->width() + 10, kPanelTop + MainPanel->height() + kStatusHeight);
    link_.line().PortIndex = 0;
    dk618_->Dk618_Baudrate->setCurrentIndex(6);
    dk618_->Dk618_Checkmode->setCurrentIndex(0);
    link_.line().RateIndex = dk618_->Dk618_Baudrate->currentIndex();
    link_.line().ParityIndex = dk618_->Dk618_Checkmode->currentIndex();
    Set_Form->selectCurrent(link_.line());

    SerialPort &port = link_.port();
    port.setPortName(QStringLiteral("COM1"));
    port.setLine({9600, QSerialPort::NoParity});
    // The message waits until the window is up, so the user sees what it
    // is about; the program goes on with the port closed.
    autoMapCom1();
    openFailedAtStart_ = !port.open();
}

void TMainForm::setClientSize(int width, int height)
{
    // Width and height of the area below the menu bar; the window is not
    // resizable by the user.
    setFixedSize(width, height + menuBar()->sizeHint().height());
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    if (QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    Guard([this] { link_.ApplyLineSettings(); });
    if (openFailedAtStart_) {
        openFailedAtStart_ = false;
        const QString reason = link_.port().errorString();
        memo(reason);
        QTimer::singleShot(0, this, [this, reason] { prompts_->message(PortBoxText(QStringLiteral("通讯口被占用！请更改通讯端口！"), reason)); });
    }
}

void TMainForm::memo(const QString &line)
{
    Watch_Window->appendLine(line);
    exchangeOutcome(line);
    // A write also ends when it was refused on the way or cancelled.
    if (writeChecks_
        && (line == text::WriteOk || line == text::WriteFailed || line == text::Cancelled || line.startsWith(text::NotWrittenPrefix)
            || line.startsWith(text::WriteStoppedPrefix)))
        writeChecks_->writeEnded(line == text::WriteOk);
}

Report &TMainForm::familyReport(const QString &family)
{
    familyReports_.push_back(std::make_unique<FamilyReport>(*this, family, [this](const QString &f, const QString &line) { familyLine(f, line); }));
    return *familyReports_.back();
}

void TMainForm::familyLine(const QString &family, const QString &line)
{
    // A read's change of the pages is over once its exchange has ended;
    // its backup belongs to the family whose exchange it was.
    safetyNet_->exchangeReported();
    if (line == text::ReadOk)
        lastBackup_ = safetyNet_->readSucceeded(safetyNet_->pageOf(family), family == QLatin1String("dk618") ? DecodeGbk(radio_->modelText()) : QString());
}

bool TMainForm::pageBusy(QWidget *page)
{
    const ExchangeOwner owner = RunningExchange(link_.state());
    return (page == dk618_ && owner == ExchangeOwner::Radio) || (page == mlb4800_ && owner == ExchangeOwner::Central)
        || (page == mlr4800_ && owner == ExchangeOwner::Subscriber);
}

void TMainForm::panel(int index, const QString &text)
{
    if (index >= 0 && index < 3)
        StatusPanel[index]->setPanelText(text);
    if (index == 1)
        StatusPanel[1]->setOwnTip(portToolTip());
    if (index == 2)
        queueCancelUpdate();
}

void TMainForm::ClearFields()
{
    StatusPanel[0]->setPanelText(QString());
    // The pages' edits; the dialogs' entries are not fields.
    for (QLineEdit *edit : centralWidget()->findChildren<QLineEdit *>()) {
        // The text part of a combo box is not a field of its own.
        if (qobject_cast<QComboBox *>(edit->parentWidget()))
            continue;
        edit->setText(QStringLiteral("0"));
    }
}

void TMainForm::addRecord(const UnitRecord &record)
{
    records_->add(record);
}

Report &TMainForm::pageReport(const QString &family)
{
    // The records see each line after the family's own handling, which
    // files the backup that a read's record names.
    return records_->pageReport(*FindFamily(family), familyReport(family), [this, family] {
        return family == QLatin1String("dk618") && radio_ ? radio_->modelText() : QByteArray();
    }, [this] { return lastBackup_; });
}

void TMainForm::buildRecords()
{
    records_ = new RecordKeeper(this, *fields_, *this, *prompts_, *safetyNet_, [this] {
        const SerialPort &port = link_.port();
        return QStringLiteral("%1=%2").arg(port.portName(), port.deviceFor(port.portName()));
    });
    // 设置 → 记录数据库 below 系统参数, 功能 → 设备记录... at the end.
    const auto menuOf = [](QAction *action) -> QMenu * {
        for (QObject *o : action->associatedObjects())
            if (auto *menu = qobject_cast<QMenu *>(o))
                return menu;
        return nullptr;
    };
    if (QMenu *settings = menuOf(SetSysConfig))
        settings->insertAction(Ter_Select->menuAction(), records_->RegisterDb);
    if (QMenu *functions = menuOf(Trend_Item))
        functions->addAction(records_->UnitHistory);
}

void TMainForm::buildSafetyNet()
{
    safetyNet_ = new SafetyNet(this, *fields_, *this, [this] { return PageControl->currentWidget(); },
                               [this](QWidget *page) { return pageBusy(page); });
    // The data radio's and the central unit's reads empty every page first.
    safetyNet_->addPage(dk618_, Dk618Fields(), true);
    safetyNet_->addPage(mlb4800_, Mlb4800Fields(), true);
    safetyNet_->addPage(mlr4800_, Mlr4800Fields(), false);
    auto *menu = new QMenu(QStringLiteral("编辑 (&E)"), this);
    menu->menuAction()->setObjectName(QStringLiteral("SafetyMenu"));
    safetyNet_->addActions(menu);
    reader_ = new UnitReader(link_, *fields_, *this, this);
    comparePage_ = new ComparePage(this, *fields_, *this, *prompts_, *reader_, [this] { return familyOfPage(PageControl->currentWidget()); });
    menu->addSeparator();
    menu->addAction(comparePage_->action());
    writeChecks_ = new WriteChecks(this, link_, *fields_, *this, *reader_);
    menu->addSeparator();
    writeChecks_->addActions(menu);
    // Help comes last, as everywhere.
    menuBar()->insertMenu(findChild<QAction *>(QStringLiteral("HelpMenu")), menu);
}

void TMainForm::hookCentralPage()
{
    central_ = std::make_unique<CentralExchange>(link_, *fields_, pageReport(QStringLiteral("mlb4800")), *prompts_);
    CentralExchange *c = central_.get();
    on(mlb4800_->Mlb4800_WriteData, &QPushButton::clicked, this, [this, c] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("mlb4800")), [this, c] {
            Guard([this, c] { startExchange(mlb4800_, [c] { c->Mlb4800_WriteDataClick(); }); });
        });
    });
    on(mlb4800_->Mlb4800_ReadData, &QPushButton::clicked, this, [this, c] {
        safetyNet_->read(mlb4800_, [this, c] { startExchange(mlb4800_, [c] { c->Mlb4800_ReadDataClick(); }); });
    });
    on(mlb4800_->Mlb4800_SaveFile, &QPushButton::clicked, this, [c] { c->Mlb4800_SaveFileClick(); });
    on(mlb4800_->Mlb4800_ReadFile, &QPushButton::clicked, this, [c] { c->Mlb4800_ReadFileClick(); });
    on(mlb4800_->Mlb4800_AddressTable, &QPushButton::clicked, this, [c] { c->Mlb4800_AddressTableClick(); });
    on(mlb4800_->ReadRssi, &QPushButton::clicked, this, [c] { c->Mlb4800_AddressTableClick(); });
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        // A key goes first to the control with the focus (to the window when
        // none has it), then, if that control passes it on, to its parents:
        // it is counted once, at the first.
        auto *widget = static_cast<QWidget *>(watched);
        QWidget *first = nullptr;
        if (QWidget *popup = QApplication::activePopupWidget()) {
            // An open drop-down list of one of the window's lists takes the
            // keys into its own window.
            if (popup->parentWidget() && popup->parentWidget()->window() == this)
                first = popup->focusWidget() ? popup->focusWidget() : popup;
        } else {
            QWidget *focus = QApplication::focusWidget();
            first = focus && focus->window() == this ? focus : this;
        }
        if (widget == first)
            KeyPreview(static_cast<QKeyEvent *>(event));
    } else if (event->type() == QEvent::MouseButtonDblClick && watched == TimerDisp) {
        Guard([this] { TimerDispDblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::KeyPreview(const QKeyEvent *key)
{
    // A key that moves the focus is no typed character.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        keys_.KeyPress(QChar(13));
        return;
    }
    for (QChar c : key->text()) {
        if (keys_.KeyPress(c))
            link_.state().MonitorOn = true;
    }
}

void TMainForm::SetSysConfigClick()
{
    Set_Form->selectCurrent(link_.line());
    link_.line().PortBusy = false;
    Set_Form->exec();
}

void TMainForm::Set_ComOKClick()
{
    SerialPort &port = link_.port();
    port.close();
    const LineSettings chosen = Set_Form->chosen();
    port.setPortName(Set_Form->portText());
    if (const QString device = Set_Form->chosenDevice(); !device.isEmpty())
        mapDevice(Set_Form->portText(), device);
    resumeAutoRead_ = false;
    LineSettings &line = link_.line();
    line.PortIndex = chosen.PortIndex;
    line.RateIndex = chosen.RateIndex;
    line.ParityIndex = chosen.ParityIndex;
    link_.ApplyLineSettings();
    // Whether this open failed: the automatic button starts the detection
    // whenever its own open succeeds, also after an earlier failure.
    line.PortBusy = !port.open();
    if (line.PortBusy) {
        memo(port.errorString());
        prompts_->message(PortBoxText(QStringLiteral("通讯口被占用！"), port.errorString()));
        panel(1, QStringLiteral("通讯口被占用！"));
        // Automatic reading stops only on a port that stayed closed.
        testExchange_->PortClosed();
    } else if (RunningExchange(link_.state()) == ExchangeOwner::Measurement) {
        // The answer to a pending reading was lost with the reopening.
        link_.state().MeasurePending = false;
    }
    Set_Form->selectCurrent(line);
}

void TMainForm::Set_ComAutoClick()
{
    // Each trial would reset the ring under a running exchange, and its
    // answers could pass for that exchange's replies: the search is refused
    // and the port, rate and parity stay as they are. A pending reading
    // gives way, and the automatic cycle waits while the search runs.
    const ExchangeOwner owner = RunningExchange(link_.state());
    if (owner != ExchangeOwner::None && owner != ExchangeOwner::Measurement) {
        const QString said = text::LineHeldBy(owner);
        memo(said);
        panel(2, said);
        Set_Form->selectCurrent(link_.line());
        return;
    }
    Set_ComOKClick();
    if (link_.line().PortBusy)
        return;
    // Every trial would go at the device server's own line, and the first
    // answer would be taken for a line never tried.
    if (!link_.port().setsLine()) {
        const QString said = QStringLiteral("无法自动检测：%1 的速率和校验由设备服务器决定，请在服务器上设置，或改用 rfc2217://")
                                 .arg(link_.port().deviceFor(link_.port().portName()));
        memo(said);
        panel(2, said);
        return;
    }
    memo(text::AutoSetStarting);
    panel(2, text::AutoSetWait);
    // Starts at 300 bit/s without parity, whatever the lists held.
    AutoSet_Form->run(Set_Form->portText());
}

void TMainForm::ToolButton6Click()
{
    Set_ComAutoClick();
}

void TMainForm::Timer1Timer()
{
    if (timerDispItem_->isVisible())
        TimerDisp->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    updateCancel();
    // A read beside the pages ticks its own exchange.
    if (!reader_->busy())
        central_->Timer1Timer();
}

void TMainForm::Timer2Timer()
{
    if (!reader_->busy())
        subscriber_->Timer2Timer();
}

void TMainForm::Timer3Timer()
{
    if (!reader_->busy())
        radio_->Timer3Timer();
}

void TMainForm::Timer4Timer()
{
    if (AutoSet_Form->searching())
        return;
    testExchange_->Timer4Timer();
}

void TMainForm::wireTestPage()
{
    testExchange_ = std::make_unique<TestExchange>(link_, *fields_, *this, *prompts_);
    TestExchange *t = testExchange_.get();
    t->switchTimer4 = [this](bool on) {
        if (on)
            Timer4->start();
        else
            Timer4->stop();
    };
    // Timer3 hands a consumed answer to the test page while a reading is
    // pending; every good frame is looked at for a trimming report.
    radio_->onMeasurementReply = [t] { t->MeasurementReply(); };
    connect(&link_, &Link::frameReceived, this, [t] { Guard([t] { t->Analyse_VR(); }); });
    connect(&link_, &Link::portLost, this, [this, t] {
        resumeAutoRead_ = t->autoReading();
        Guard([t] { t->PortClosed(); });
    });

    on(ConfigTest, &QAction::triggered, this, [this] { ConfigTestClick(); });
    connect(test_, &TestPage::shown, this, [this] { TestShow(); });
    for (int i = 0; i < TestPage::kRows; ++i) {
        const int row = i + 1;
        on(test_->VR[i], &SpinButton::upClicked, this, [t, row] { t->VRUpClick(row); });
        on(test_->VR[i], &SpinButton::downClicked, this, [t, row] { t->VRDownClick(row); });
    }
    const std::pair<QPushButton *, void (TestExchange::*)()> buttons[] = {
        {test_->Read_VR, &TestExchange::Read_VRClick},
        {test_->Voice_Tx, &TestExchange::Voice_TxClick},
        {test_->Tx_Signal, &TestExchange::Tx_SignalClick},
        {test_->Tx_MSK, &TestExchange::Tx_MSKClick},
        {test_->Stop_Tx, &TestExchange::Stop_TxClick},
        {test_->ReadTemp, &TestExchange::ReadTempClick},
        {test_->GetRssi, &TestExchange::GetRssiClick},
        {test_->ReadPower, &TestExchange::ReadPowerClick},
        {test_->ReadVolt, &TestExchange::ReadVoltClick},
        {test_->AutoRead, &TestExchange::AutoReadClick},
        {test_->RssiModi, &TestExchange::RssiModiClick},
        {test_->SetPower, &TestExchange::SetPowerClick},
        {test_->AlarmSet, &TestExchange::AlarmSetClick},
        {test_->SetPwr, &TestExchange::SetPwrClick},
    };
    // Not a structured binding: clang before 16 cannot capture one.
    for (const auto &entry : buttons) {
        const auto handler = entry.second;
        on(entry.first, &QPushButton::clicked, this, [t, handler] { (t->*handler)(); });
    }
    on(test_->PowerM, &SpinButton::upClicked, this, [t] { t->PowerMUpClick(); });
    on(test_->PowerM, &SpinButton::downClicked, this, [t] { t->PowerMDownClick(); });

    testRun_ = new TestRunCommands(*t, *fields_, *this, *prompts_, [this] { return radio_->modelText(); }, this);
    on(test_->Trend_Open, &QPushButton::clicked, this, [this] { testRun_->Trend_OpenClick(); });
    on(Trend_Item, &QAction::triggered, this, [this] { testRun_->Trend_OpenClick(); });
    connect(test_->Record_Save, &QPushButton::clicked, testRun_->SaveTestRecord, &QAction::trigger);
}

} // namespace qm
