// The main window's menus, tool bar and status bar, and the menu commands
// that only change the window itself (monitor panel, tool bar, clock, sound
// cue, version box).
#include "app/mainform.h"
#include "app/mainformwiring.h"

#include "app/cueplayer.h"
#include "app/panellabel.h"
#include "app/versioninfo.h"
#include "common/tonecue.h"

#include <QAction>
#include <QActionGroup>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

namespace qm {

namespace {
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
} // namespace

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
    Tools = makeAction(QStringLiteral("Tools"), QStringLiteral("工具条 (&B)"), {});
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
    help->menuAction()->setObjectName(QStringLiteral("HelpMenu"));
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

void TMainForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    bar->setFixedHeight(kStatusHeight);
    QFont small = bar->font();
    small.setPixelSize(11);
    bar->setFont(small);
    const int widths[3] = {160, 190, kProgressWidth};
    for (int i = 0; i < 3; ++i) {
        // The port panel keeps both ends: "通讯口已断开，等…入：COM1".
        StatusPanel[i] = new PanelLabel(i == 1 ? Qt::ElideMiddle : Qt::ElideRight, bar);
        StatusPanel[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        StatusPanel[i]->setFixedWidth(widths[i]);
        StatusPanel[i]->setFrameShape(QFrame::Panel);
        StatusPanel[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(StatusPanel[i]);
    }
    // Beside the progress, while a read or write runs.
    CancelExchange = new QPushButton(QStringLiteral("取消"), bar);
    CancelExchange->setObjectName(QStringLiteral("CancelExchange"));
    CancelExchange->setToolTip(QStringLiteral("结束正在进行的读取或写录"));
    CancelExchange->setFixedSize(44, kStatusHeight - 2);
    // Escape does the same from the keyboard; Tab stays on the page.
    CancelExchange->setFocusPolicy(Qt::NoFocus);
    CancelExchange->hide();
    bar->addWidget(CancelExchange);
    StatusPanel[0]->setAlignment(Qt::AlignCenter);
    StatusPanel[0]->setPanelText(QStringLiteral("MLR4800A-HV1.20-SV1.23"));
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

} // namespace qm
