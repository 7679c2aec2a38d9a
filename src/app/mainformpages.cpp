// The main window's page area and the choice of the page shown: the four
// family pages, chosen from the menu or the tool bar, and the test page
// behind its password.
#include "app/mainform.h"
#include "app/mainformwiring.h"

#include "app/monitormemo.h"
#include "app/password.h"
#include "app/typedvalues.h"
#include "app/widgetprompts.h"
#include "common/prompts.h"
#include "headless/families.h"
#include "link/serialport.h"
#include "pagekit/widgetmaker.h"
#include "radio/dk618page.h"
#include "testpage/testexchange.h"
#include "testpage/testpage.h"
#include "units/mlb4800page.h"
#include "units/mlr4800page.h"
#include "units/unitpages.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QWheelEvent>

namespace qm {

namespace {

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
} // namespace

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
    // The record goes where the parameter files went last, and the other way.
    if (auto *own = dynamic_cast<WidgetPrompts *>(prompts_)) {
        Watch_Window->lastFolder = [own] { return own->lastFolder(); };
        Watch_Window->folderUsed = [own](const QString &folder) { own->useFolder(folder); };
    }
    connect(Watch_Window, &MonitorMemo::recordSaved, this, [this](const QString &path) { panel(2, QStringLiteral("记录已保存：") + path); });
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
        prompts_->message(PortBoxText(QStringLiteral("通讯口被占用！请更改通讯端口！"), port.errorString()));
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
    // The page's own resets are no typing: a page without typed values
    // stays so.
    const bool typed = typed_->changed(mlr4800_);
    mlr4800_->Mlr4800ComRate->setCurrentIndex(0);
    mlr4800_->Mlr4800_Airrate->setCurrentIndex(1);
    mlr4800_->Meter_Category->setCurrentIndex(0);
    if (!typed)
        typed_->settle(mlr4800_);
    link_.line().RateIndex = 2;
    link_.line().ParityIndex = 1;
    link_.ApplyLineSettings();
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
