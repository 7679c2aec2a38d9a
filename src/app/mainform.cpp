#include "app/mainform.h"

#include "app/autosetform.h"
#include "app/mlbaddrtableform.h"
#include "app/cueplayer.h"
#include "app/monitormemo.h"
#include "app/password.h"
#include "app/safetynet.h"
#include "app/setform.h"
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
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

namespace qm {

namespace {
constexpr int kToolBarHeight = 33;
constexpr int kPanelTop = 32;
constexpr int kStatusHeight = 21;

// A small tool bar image with a short text, for the family buttons.
QIcon textIcon(const QString &text, const QColor &colour)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(colour);
    painter.setPen(colour.darker());
    painter.drawRoundedRect(QRectF(1, 1, 22, 22), 4, 4);
    QFont font = painter.font();
    font.setPixelSize(text.size() > 2 ? 8 : 11);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

// The page control. Pages change only through their menu items and tool
// buttons (the test page only behind its password, the unit pages with
// their line settings), so the tab widget's own page keys (Ctrl+Tab,
// Ctrl+Shift+Tab, Ctrl+PgUp/PgDown) and the wheel do nothing here.
class PageArea : public QTabWidget {
public:
    using QTabWidget::QTabWidget;

protected:
    void keyPressEvent(QKeyEvent *event) override { event->ignore(); }
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }
};

// Connects a trigger to a handler run under the top-level error report.
template <typename Sender, typename Signal, typename F>
void on(Sender *sender, Signal signal, QObject *context, F handler)
{
    QObject::connect(sender, signal, context, [handler] { Guard(handler); });
}
} // namespace

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
    radio_ = std::make_unique<RadioExchange>(link_, *fields_, *this, *prompts_);
    radioFile_ = std::make_unique<RadioFile>(*fields_, *this, *prompts_);
    on(dk618_->Dk618_Write_Data, &QPushButton::clicked, this, [this] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("dk618")), [this] { Guard([this] { radio_->Dk618_Write_DataClick(); }); });
    });
    on(dk618_->Dk618_Read_Data, &QPushButton::clicked, this, [this] { radio_->Dk618_Read_DataClick(); });
    on(dk618_->Dk618_Save_File, &QPushButton::clicked, this, [this] { radioFile_->Dk618_Save_FileClick(); });
    on(dk618_->Dk618_Read_File, &QPushButton::clicked, this, [this] { radioFile_->Dk618_Read_FileClick(); });
    on(N1, &QAction::triggered, this, [this] { radio_->N1Click(); });
    on(T1, &QAction::triggered, this, [this] { radio_->T1Click(); });
    on(O1, &QAction::triggered, this, [this] { radio_->O1Click(); });
    hookCentralPage();
    subscriber_ = std::make_unique<SubscriberExchange>(link_, *fields_, *this, *prompts_);
    subscriberFile_ = std::make_unique<SubscriberFile>(*fields_, *this, *prompts_);
    on(mlr4800_->Mlr4800_WriteData, &QPushButton::clicked, this, [this] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("mlr4800")), [this] { Guard([this] { subscriber_->Mlr4800_WriteDataClick(); }); });
    });
    on(mlr4800_->Mlr4800_ReadData, &QPushButton::clicked, this, [this] { subscriber_->Mlr4800_ReadDataClick(); });
    on(mlr4800_->Mlr4800_SaveFile, &QPushButton::clicked, this, [this] { subscriberFile_->Mlr4800_SaveFileClick(); });
    on(mlr4800_->Mlr4800_ReadFile, &QPushButton::clicked, this, [this] { subscriberFile_->Mlr4800_ReadFileClick(); });

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
        safetyNet_->record(dk618_, QStringLiteral("读取数据"));
        Guard([this] { radio_->Dk618_Read_DataClick(); });
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

    FormCreate();
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

QAction *TMainForm::makeAction(const QString &name, const QString &caption, const QString &hint)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    // The hint shows as a tool tip; a status tip would hide the panels of
    // the status bar while the pointer rests on the item.
    if (!hint.isEmpty())
        action->setToolTip(hint);
    return action;
}

void TMainForm::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *settings = bar->addMenu(QStringLiteral("设置 (&S) "));
    SetSysConfig = makeAction(QStringLiteral("SetSysConfig"), QStringLiteral("系统参数 (&S)..."), QStringLiteral("设置系统参数"));
    SetSysConfig->setIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
    settings->addAction(SetSysConfig);
    Ter_Select = settings->addMenu(QStringLiteral("终端选择 (&T)"));
    Ter_Select->setObjectName(QStringLiteral("Ter_Select"));
    DataTrans = makeAction(QStringLiteral("DataTrans"), QStringLiteral("数传电台系列 (&D)"), QStringLiteral("数传电台系列"));
    DataTrans->setIcon(textIcon(QStringLiteral("DK"), QColor(0, 110, 180)));
    Ter_Select->addAction(DataTrans);
    QM4700S = Ter_Select->addMenu(QStringLiteral("QM--4700系列 (&X)  "));
    QM4700S->setObjectName(QStringLiteral("QM4700S"));
    QM4700S->menuAction()->setObjectName(QStringLiteral("QM4700S"));
    QM4700 = makeAction(QStringLiteral("QM4700"), QStringLiteral("QM-4700 "), QStringLiteral("QM-4700"));
    QM4700->setIcon(textIcon(QStringLiteral("4700"), QColor(90, 90, 90)));
    MLB4800 = makeAction(QStringLiteral("MLB4800"), QStringLiteral("MLB4800 "), QStringLiteral("MLB4800"));
    MLB4800->setIcon(textIcon(QStringLiteral("MLB"), QColor(30, 130, 60)));
    MLR4800 = makeAction(QStringLiteral("MLR4800"), QStringLiteral("MLR4800 "), QStringLiteral("MLR4800"));
    MLR4800->setIcon(textIcon(QStringLiteral("MLR"), QColor(170, 90, 20)));
    QM4700S->addAction(QM4700);
    QM4700S->addAction(MLB4800);
    QM4700S->addAction(MLR4800);
    settings->addSeparator();
    Exit_Pro = makeAction(QStringLiteral("Exit_Pro"), QStringLiteral("退出 (&X)"), QStringLiteral("退出系统"));
    Exit_Pro->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    settings->addAction(Exit_Pro);

    // Radio items: the data radio or the series, and one unit of the series.
    for (QAction *a : {DataTrans, QM4700S->menuAction(), QM4700, MLB4800, MLR4800})
        a->setCheckable(true);
    topFamilies_ = new QActionGroup(this);
    topFamilies_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    topFamilies_->addAction(DataTrans);
    topFamilies_->addAction(QM4700S->menuAction());
    seriesFamilies_ = new QActionGroup(this);
    seriesFamilies_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction *a : {QM4700, MLB4800, MLR4800})
        seriesFamilies_->addAction(a);

    QMenu *functions = bar->addMenu(QStringLiteral("功能 (&F) "));
    Disp_Timer = makeAction(QStringLiteral("Disp_Timer"), QStringLiteral("显示时间(&T)"), {});
    Disp_Timer->setCheckable(true);
    Disp_Timer->setChecked(true);
    Music = makeAction(QStringLiteral("Music"), QStringLiteral("音  效 (&M)"), QStringLiteral("开关音效"));
    Music->setCheckable(true);
    Music->setIcon(style()->standardIcon(QStyle::SP_MediaVolumeMuted));
    Tools = makeAction(QStringLiteral("Tools"), QStringLiteral("工具条 (&T)"), {});
    Tools->setCheckable(true);
    Tools->setChecked(true);
    Watch_Open = makeAction(QStringLiteral("Watch_Open"), QStringLiteral("监测窗口 (&W)"), QStringLiteral("开关监测窗口"));
    Watch_Open->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    functions->addAction(Disp_Timer);
    functions->addAction(Music);
    functions->addAction(Tools);
    functions->addSeparator();
    functions->addAction(Watch_Open);
    Trend_Item = makeAction(QStringLiteral("Trend_Item"), QStringLiteral("读数趋势 (&R)"), {});
    Trend_Item->setEnabled(false);
    functions->addAction(Trend_Item);

    QMenu *help = bar->addMenu(QStringLiteral("帮助 (&H) "));
    Version = makeAction(QStringLiteral("Version"), QStringLiteral("版本信息 (&V)..."), {});
    ConfigTest = makeAction(QStringLiteral("ConfigTest"), QStringLiteral("参数测试 (&C)"), {});
    help->addAction(Version);
    help->addAction(ConfigTest);
    M1 = help->addMenu(QStringLiteral("更改协议 (&M)"));
    M1->setObjectName(QStringLiteral("M1"));
    M1->menuAction()->setObjectName(QStringLiteral("M1"));
    N1 = makeAction(QStringLiteral("N1"), QStringLiteral("铁道协议(&R)"), {});
    T1 = makeAction(QStringLiteral("T1"), QStringLiteral("测试协议(&T)"), {});
    O1 = makeAction(QStringLiteral("O1"), QStringLiteral("原始协议(&O)"), {});
    M1->addAction(N1);
    M1->addAction(T1);
    M1->addAction(O1);

    on(SetSysConfig, &QAction::triggered, this, [this] { SetSysConfigClick(); });
    on(DataTrans, &QAction::triggered, this, [this] { DataTransClick(); });
    on(QM4700, &QAction::triggered, this, [this] { QM4700Click(); });
    on(MLB4800, &QAction::triggered, this, [this] { MLB4800Click(); });
    on(MLR4800, &QAction::triggered, this, [this] { MLR4800Click(); });
    on(Exit_Pro, &QAction::triggered, this, [this] { Exit_ProClick(); });
    on(Disp_Timer, &QAction::triggered, this, [this] { Disp_TimerClick(); });
    on(Music, &QAction::triggered, this, [this] { MusicClick(); });
    on(Version, &QAction::triggered, this, [this] { VersionClick(); });
    on(Tools, &QAction::triggered, this, [this] { ToolsClick(); });
    on(Watch_Open, &QAction::triggered, this, [this] { Watch_OpenClick(); });
}

void TMainForm::buildToolBar()
{
    ToolBar = new QToolBar(centralWidget());
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setGeometry(0, 0, 800, kToolBarHeight);
    ToolBar->setIconSize(QSize(24, 24));
    ToolBar->setMovable(false);
    auto addButton = [this](const QString &name, QAction *action) {
        auto *button = new QToolButton(ToolBar);
        button->setObjectName(name);
        button->setDefaultAction(action);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        ToolBar->addWidget(button);
        return button;
    };
    addButton(QStringLiteral("ToolButton2"), SetSysConfig);
    addButton(QStringLiteral("ToolButton3"), Exit_Pro);
    ToolBar->addSeparator();
    addButton(QStringLiteral("ToolButton5"), Watch_Open);
    auto *autoButton = new QToolButton(ToolBar);
    autoButton->setObjectName(QStringLiteral("ToolButton6"));
    autoButton->setToolTip(QStringLiteral("自动设置通讯参数"));
    autoButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    autoButton->setAutoRaise(true);
    autoButton->setFocusPolicy(Qt::NoFocus);
    ToolBar->addWidget(autoButton);
    on(autoButton, &QToolButton::clicked, this, [this] { ToolButton6Click(); });
    ToolBar->addSeparator();
    addButton(QStringLiteral("Dk618_ToolButton"), DataTrans);
    addButton(QStringLiteral("QM4700_ToolButton"), QM4700);
    addButton(QStringLiteral("MLB4800_ToolButton"), MLB4800);
    addButton(QStringLiteral("MLR4800_ToolButton"), MLR4800);
    ToolBar->addSeparator();
    addButton(QStringLiteral("Music_Button"), Music);
    ToolBar->addSeparator();
    TimerDisp = new QLabel(QStringLiteral("11:22:33"), ToolBar);
    TimerDisp->setObjectName(QStringLiteral("TimerDisp"));
    QFont clock = TimerDisp->font();
    clock.setPixelSize(20);
    clock.setBold(true);
    TimerDisp->setFont(clock);
    // A palette, not a style sheet: a style sheet would bring the parser
    // and the style-sheet style into start-up for one colour.
    QPalette red = TimerDisp->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    TimerDisp->setPalette(red);
    // On the tool bar a label would take the button text colour.
    TimerDisp->setForegroundRole(QPalette::WindowText);
    TimerDisp->setContentsMargins(6, 0, 6, 0);
    TimerDisp->installEventFilter(this);
    timerDispItem_ = ToolBar->addWidget(TimerDisp);
    timerDispItem_->setObjectName(QStringLiteral("TimerDispItem"));
}

void TMainForm::buildPanels()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    MainPanel = new QFrame(client);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    MainPanel->setGeometry(4, kPanelTop, 561, 324);
    MainPanel->setFrameShape(QFrame::StyledPanel);
    PageControl = new PageArea(MainPanel);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setGeometry(8, 5, 545, 314);
    PageControl->setVisible(false);

    // Created inside the page control so that they size their controls in
    // the window's type.
    dk618_ = new Dk618Page(*prompts_, *rules_, PageControl);
    qm4700_ = makeHeadedPage(QStringLiteral("QM4700_TabSheet"), QStringLiteral("QM--4700系列之QM-4700"), PageControl);
    mlb4800_ = new Mlb4800Page(*rules_, PageControl);
    mlr4800_ = new Mlr4800Page(*rules_, PageControl);
    test_ = new TestPage(PageControl);
    PageControl->addTab(dk618_, QStringLiteral("数传电台"));
    PageControl->addTab(qm4700_, QStringLiteral("QM-4700"));
    PageControl->addTab(mlb4800_, QStringLiteral("MLB4800"));
    PageControl->addTab(mlr4800_, QStringLiteral("MLR4800"));
    PageControl->addTab(test_, QStringLiteral("参数测试"));

    Watch_Frame = new QFrame(client);
    Watch_Frame->setObjectName(QStringLiteral("Watch_Frame"));
    Watch_Frame->setGeometry(571, kPanelTop, 209, 323);
    Watch_Frame->setFrameShape(QFrame::StyledPanel);
    auto *closeWatch = makeButton(Watch_Frame, QStringLiteral("Close_Watch"), QStringLiteral("关闭窗口"), {6, 4, 96, 26});
    auto *clearWatch = makeButton(Watch_Frame, QStringLiteral("SpeedButton1"), QStringLiteral("清显示区"), {106, 4, 96, 26});
    Watch_Window = new MonitorMemo(Watch_Frame);
    Watch_Window->setGeometry(4, 34, 201, 285);
    on(closeWatch, &QPushButton::clicked, this, [this] { Watch_OpenClick(); });
    on(clearWatch, &QPushButton::clicked, this, [this] { Watch_Window->clearAll(); });
    connect(Watch_Window, &MonitorMemo::recordSaved, this, [this](const QString &path) { panel(2, QStringLiteral("记录已保存：") + path); });
}

void TMainForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusHeight);
    QFont small = bar->font();
    small.setPixelSize(11);
    bar->setFont(small);
    const int widths[3] = {160, 190, 200};
    for (int i = 0; i < 3; ++i) {
        StatusPanel[i] = new QLabel(bar);
        StatusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setFixedWidth(widths[i]);
        StatusPanel[i]->setFrameShape(QFrame::Panel);
        StatusPanel[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(StatusPanel[i]);
    }
    StatusPanel[0]->setAlignment(Qt::AlignCenter);
    StatusPanel[0]->setText(QStringLiteral("MLR4800A-HV1.20-SV1.23"));
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
    port.setRate(9600);
    port.setParity(QSerialPort::NoParity);
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
        memo(link_.port().errorString());
        QTimer::singleShot(0, this, [this] { prompts_->message(QStringLiteral("通讯口被占用！请更改通讯端口！")); });
    }
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // A detection still running sends nothing once the window is gone.
    AutoSet_Form->abort();
    link_.port().close();
    QMainWindow::closeEvent(event);
}

void TMainForm::memo(const QString &line)
{
    Watch_Window->appendLine(line);
    if (line == text::ReadOk && safetyNet_)
        safetyNet_->readSucceeded(PageControl->currentWidget(), PageControl->currentWidget() == dk618_ ? DecodeGbk(radio_->modelText()) : QString());
    if ((line == text::WriteOk || line == text::WriteFailed) && writeChecks_)
        writeChecks_->writeEnded(line == text::WriteOk);
}

void TMainForm::panel(int index, const QString &text)
{
    if (index >= 0 && index < 3)
        StatusPanel[index]->setText(text);
    if (index == 1)
        StatusPanel[1]->setToolTip(portToolTip());
}

void TMainForm::ClearFields()
{
    StatusPanel[0]->clear();
    // The pages' edits; the dialogs' entries are not fields.
    for (QLineEdit *edit : centralWidget()->findChildren<QLineEdit *>()) {
        // The text part of a combo box is not a field of its own.
        if (qobject_cast<QComboBox *>(edit->parentWidget()))
            continue;
        edit->setText(QStringLiteral("0"));
    }
}

void TMainForm::buildSafetyNet()
{
    safetyNet_ = new SafetyNet(this, *fields_, *this, [this] { return PageControl->currentWidget(); });
    const QString read = QStringLiteral("读取数据"), load = QStringLiteral("读取文档");
    safetyNet_->addPage(dk618_, Dk618Fields(), {{QStringLiteral("Dk618_Read_Data"), read}, {QStringLiteral("Dk618_Read_File"), load}});
    safetyNet_->addPage(mlb4800_, Mlb4800Fields(), {{QStringLiteral("Mlb4800_ReadData"), read}, {QStringLiteral("Mlb4800_ReadFile"), load}});
    safetyNet_->addPage(mlr4800_, Mlr4800Fields(), {{QStringLiteral("Mlr4800_ReadData"), read}, {QStringLiteral("Mlr4800_ReadFile"), load}});
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
    menuBar()->addMenu(menu);
}

const Family *TMainForm::familyOfPage(QWidget *page) const
{
    if (page == dk618_)
        return FindFamily(QStringLiteral("dk618"));
    if (page == mlb4800_)
        return FindFamily(QStringLiteral("mlb4800"));
    if (page == mlr4800_)
        return FindFamily(QStringLiteral("mlr4800"));
    return nullptr;
}

void TMainForm::hookCentralPage()
{
    central_ = std::make_unique<CentralExchange>(link_, *fields_, *this, *prompts_);
    CentralExchange *c = central_.get();
    on(mlb4800_->Mlb4800_WriteData, &QPushButton::clicked, this, [this, c] {
        writeChecks_->WriteClick(*FindFamily(QStringLiteral("mlb4800")), [c] { Guard([c] { c->Mlb4800_WriteDataClick(); }); });
    });
    on(mlb4800_->Mlb4800_ReadData, &QPushButton::clicked, this, [c] { c->Mlb4800_ReadDataClick(); });
    on(mlb4800_->Mlb4800_SaveFile, &QPushButton::clicked, this, [c] { c->Mlb4800_SaveFileClick(); });
    on(mlb4800_->Mlb4800_ReadFile, &QPushButton::clicked, this, [c] { c->Mlb4800_ReadFileClick(); });
    on(mlb4800_->Mlb4800_AddressTable, &QPushButton::clicked, this, [c] { c->Mlb4800_AddressTableClick(); });
    on(mlb4800_->ReadRssi, &QPushButton::clicked, this, [c] { c->Mlb4800_AddressTableClick(); });
}

void TMainForm::activatePage(QWidget *page)
{
    if (!PageControl->isVisible())
        PageControl->setVisible(true);
    PageControl->setCurrentWidget(page);
}

void TMainForm::followSimulatedUnit(const QString &family)
{
    const QString device = simulatedUnits_.value(family);
    SerialPort &port = link_.port();
    const QString com1 = QStringLiteral("COM1");
    if (device.isEmpty() || port.deviceFor(com1) == device)
        return;
    QHash<QString, QString> map = port.portMap();
    map.insert(com1, device);
    port.setPortMap(map);
    // A port the user moved to another COMn stays where it is.
    if (port.portName() != com1)
        return;
    port.close();
    if (!port.open()) {
        memo(port.errorString());
        prompts_->message(QStringLiteral("通讯口被占用！请更改通讯端口！"));
    }
}

void TMainForm::DataTransClick()
{
    QM4700->setChecked(false);
    MLB4800->setChecked(false);
    MLR4800->setChecked(false);
    QM4700S->menuAction()->setChecked(false);
    DataTrans->setChecked(true);
    followSimulatedUnit(QStringLiteral("dk618"));
    activatePage(dk618_);
}

void TMainForm::QM4700Click()
{
    QM4700S->menuAction()->setChecked(true);
    DataTrans->setChecked(false);
    QM4700->setChecked(true);
    followSimulatedUnit(QStringLiteral("dk618"));
    activatePage(qm4700_);
}

void TMainForm::MLB4800Click()
{
    QM4700S->menuAction()->setChecked(true);
    MLB4800->setChecked(true);
    followSimulatedUnit(QStringLiteral("mlb4800"));
    activatePage(mlb4800_);
    link_.line().RateIndex = 6;
    link_.line().ParityIndex = 0;
    link_.ApplyLineSettings();
}

void TMainForm::MLR4800Click()
{
    QM4700S->menuAction()->setChecked(true);
    MLR4800->setChecked(true);
    followSimulatedUnit(QStringLiteral("mlr4800"));
    activatePage(mlr4800_);
    mlr4800_->Mlr4800ComRate->setCurrentIndex(0);
    mlr4800_->Mlr4800_Airrate->setCurrentIndex(1);
    mlr4800_->Meter_Category->setCurrentIndex(0);
    link_.line().RateIndex = 2;
    link_.line().ParityIndex = 1;
    link_.ApplyLineSettings();
}

void TMainForm::Watch_OpenClick()
{
    const int clientHeight = height() - menuBar()->sizeHint().height();
    if (Watch_Frame->isVisible()) {
        Watch_Frame->hide();
        setClientSize(MainPanel->width() + 10, clientHeight);
    } else {
        setClientSize(width() + Watch_Frame->width() + 10, clientHeight);
        Watch_Frame->show();
    }
}

void TMainForm::ToolsClick()
{
    // The action has already inverted its own check mark.
    const bool visible = Tools->isChecked();
    ToolBar->setVisible(visible);
    const int top = visible ? kPanelTop : 0;
    MainPanel->move(MainPanel->x(), top);
    Watch_Frame->move(Watch_Frame->x(), top);
    setClientSize(width(), top + MainPanel->height() + kStatusHeight);
}

void TMainForm::Exit_ProClick()
{
    link_.port().close();
    close();
    QApplication::quit();
}

void TMainForm::Disp_TimerClick()
{
    // The item has already inverted its own check mark.
    timerDispItem_->setVisible(Disp_Timer->isChecked());
}

void TMainForm::MusicClick()
{
    Music->setIcon(style()->standardIcon(Music->isChecked() ? QStyle::SP_MediaVolume : QStyle::SP_MediaVolumeMuted));
}

void TMainForm::VersionClick()
{
    VersionInfo->exec();
}

void TMainForm::PlayCue(int f1, int f2, int duration)
{
    if (!Music->isChecked())
        return;
    cue_->play(CueTones(f1, f2, duration));
}

void TMainForm::TimerDispDblClick()
{
    PlayCue(1000, 3000, 60);
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
        prompts_->message(QStringLiteral("通讯口被占用！"));
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

void TMainForm::ConfigTestClick()
{
    if (!Password->TestAccess())
        Password->exec();
    if (!Password->TestAccess())
        return;
    if (PageControl->isVisible() && PageControl->currentWidget() == test_) {
        // Nothing is sent, but the access just granted holds.
        TestShow();
        return;
    }
    activatePage(test_);
    testExchange_->Read_VRClick();
}

void TMainForm::TestShow()
{
    test_->applyAccess(Password->TestLimited());
    Trend_Item->setEnabled(true);
}

} // namespace qm
