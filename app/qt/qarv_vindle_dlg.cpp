#include "app/qt/qarv_vindle_dlg.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

#include <future>
#include <utility>

#include "app/qt/about_dlg.h"
#include "app/qt/conset_dlg.h"
#include "app/qt/device_list_actions.h"
#include "app/qt/window_icon.h"
#include "discovery/device_list_rules.h"
#include "platform/qt/dialog_units.h"
#include "platform/qt/qt_list_mirror.h"
#include "platform/qt/qt_list_view.h"

namespace {

// Client area of the window in dialog units; the menu bar sits above it.
constexpr int kClientWidth = 318;
constexpr int kClientHeight = 358;
constexpr int kTitleCellHeight = 32;

QString FromSystemText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CQarvVindleDlg::CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings,
                               QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Qarv Vindle"));
    // A top-level window of its own (own task-bar entry) with a minimise box but no maximise
    // box; the fixed size below leaves no sizing border.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(vindle::WindowIcon());

    // The settings file is made (when absent) while the controls are built, since writing it
    // safely waits for the disk; with no thread to spare it is made at get().
    auto settingsAtStart = std::async(std::launch::async | std::launch::deferred,
                                      [&settings] { return vindle::PrepareSettings(settings); });
    m_logic = std::make_unique<vindle::MainWindowLogic>(static_cast<vindle::MainWindowView&>(*this),
                                                        network, settings);
    BuildMenu();
    BuildControls();
    m_listAdapter = std::make_unique<vindle::QtListView>(m_listDevices);
    m_listMirror = std::make_unique<vindle::QtListMirror>(m_logic->Rows(), *m_listAdapter);
    m_logic->AttachMirror(m_listMirror.get());
    new vindle::DeviceListActions(m_listDevices, *m_logic);
    m_logic->OnInitDialog(settingsAtStart.get());
}

CQarvVindleDlg::~CQarvVindleDlg() {
    StopSearch();
    FinishSearch();
}

void CQarvVindleDlg::BuildMenu() {
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("menuBar"));
    m_menuBar->setNativeMenuBar(false);
    // Mnemonics only: the commands have no keyboard shortcuts of their own.
    QMenu* tool = m_menuBar->addMenu(QStringLiteral("Tool(&T)"));
    tool->setObjectName(QStringLiteral("toolMenu"));
    QAction* configuration = tool->addAction(QStringLiteral("Configuration(&C)"));
    configuration->setObjectName(QStringLiteral("configurationAction"));
    connect(configuration, &QAction::triggered, this, &CQarvVindleDlg::OnConfiguration);
    QAction* saveList = tool->addAction(QStringLiteral("Save List As(&S)..."));
    saveList->setObjectName(QStringLiteral("saveListAction"));
    connect(saveList, &QAction::triggered, this, [this] { m_logic->SaveListAs(); });

    QMenu* help = m_menuBar->addMenu(QStringLiteral("Help(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    QAction* about = help->addAction(QStringLiteral("About(&A)"));
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, &CQarvVindleDlg::OnAbout);
}

void CQarvVindleDlg::BuildControls() {
    // The controls sit on a client widget in the template's font; the menu bar keeps the
    // desktop's menu font.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFont(vindle::DialogTemplateFont());
    const vindle::DialogUnits units(client->font());
    const int menuHeight = m_menuBar->sizeHint().height();
    const QSize clientSize = units.ToPixels(kClientWidth, kClientHeight);
    client->setGeometry(QRect(QPoint(0, menuHeight), clientSize));
    m_menuBar->setGeometry(0, 0, clientSize.width(), menuHeight);

    // Created in tab order: Retrieve, the list, Browse; the title takes no focus.
    m_btnRetrieve = new QPushButton(QStringLiteral("Retrieve"), client);
    m_btnRetrieve->setObjectName(QStringLiteral("retrieveButton"));
    m_btnRetrieve->setGeometry(units.ToPixels(262, 3, 53, 20));
    m_btnRetrieve->setDefault(true);
    connect(m_btnRetrieve, &QPushButton::clicked, this, [this] { m_logic->OnRetrieve(); });

    m_listDevices = new QTreeWidget(client);
    m_listDevices->setObjectName(QStringLiteral("deviceList"));
    m_listDevices->setAccessibleName(QStringLiteral("Printers found"));
    m_listDevices->setGeometry(units.ToPixels(2, 25, 313, 293));
    m_listDevices->setColumnCount(vindle::kDeviceListColumnCount);
    QStringList headings;
    for (const char* heading : vindle::kDeviceListHeadings) {
        headings.append(QString::fromLatin1(heading));
    }
    m_listDevices->setHeaderLabels(headings);
    m_listDevices->setRootIsDecorated(false);
    m_listDevices->setItemsExpandable(false);
    m_listDevices->setUniformRowHeights(true);
    m_listDevices->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_listDevices->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listDevices->setSortingEnabled(false);
    QHeaderView* header = m_listDevices->header();
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < vindle::kDeviceListColumnCount; ++column) {
        header->resizeSection(column, vindle::kDeviceListColumnPixels);
    }
    header->viewport()->installEventFilter(this);
    // The header reports left clicks only; the pressed button confirms it.
    connect(header, &QHeaderView::sectionClicked, this, [this](int section) {
        m_logic->OnHeaderItemClick(section, m_headerPressButton == Qt::LeftButton ? 0 : 1);
    });
    connect(m_listDevices, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_logic->OnListItemChanged(m_listAdapter->NextSelected(-1)); });

    m_btnBrowse = new QPushButton(QStringLiteral("Browse"), client);
    m_btnBrowse->setObjectName(QStringLiteral("browseButton"));
    m_btnBrowse->setGeometry(units.ToPixels(262, 320, 53, 20));
    connect(m_btnBrowse, &QPushButton::clicked, this, [this] { m_logic->OnBrowse(); });

    m_staticTitle = new QLabel(QStringLiteral("Qarv Vindle"), client);
    m_staticTitle->setObjectName(QStringLiteral("titleLabel"));
    m_staticTitle->setTextFormat(Qt::PlainText);
    m_staticTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_staticTitle->setGeometry(units.ToPixels(3, 3, 258, 22));
    // "Times New Roman" (or the closest serif) as a Windows font of height 32.
    m_staticTitle->setFont(vindle::FontOfCellHeight(QStringLiteral("Times New Roman"), QFont::Serif,
                                                    kTitleCellHeight));

    // The free band left of "Browse": the status line, and "Stop" while a search runs.
    m_statusLine = new QLabel(client);
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    m_statusLine->setTextFormat(Qt::PlainText);
    m_statusLine->setWordWrap(true);
    m_statusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_statusLine->setGeometry(units.ToPixels(3, 320, 200, 20));

    m_btnStop = new QPushButton(QStringLiteral("Stop"), client);
    m_btnStop->setObjectName(QStringLiteral("stopButton"));
    m_btnStop->setAccessibleName(QStringLiteral("Stop the search"));
    m_btnStop->setAutoDefault(false);
    m_btnStop->setGeometry(units.ToPixels(206, 320, 53, 20));
    connect(m_btnStop, &QPushButton::clicked, this, [this] { m_logic->OnStop(); });

    setTabOrder(m_btnRetrieve, m_listDevices);
    setTabOrder(m_listDevices, m_btnStop);
    setTabOrder(m_btnStop, m_btnBrowse);
    setFixedSize(clientSize.width(), menuHeight + clientSize.height());
    m_btnRetrieve->setFocus();
}

QWidget* CQarvVindleDlg::ControlWidget(vindle::MainControl control) const {
    switch (control) {
        case vindle::MainControl::Retrieve:
            return m_btnRetrieve;
        case vindle::MainControl::Stop:
            return m_btnStop;
        case vindle::MainControl::Browse:
            return m_btnBrowse;
        case vindle::MainControl::DeviceList:
            break;
    }
    return m_listDevices;
}

void CQarvVindleDlg::EnableControl(vindle::MainControl control, bool enabled) {
    ControlWidget(control)->setEnabled(enabled);
}

void CQarvVindleDlg::ShowControl(vindle::MainControl control, bool shown) {
    ControlWidget(control)->setVisible(shown);
}

bool CQarvVindleDlg::HasFocus(vindle::MainControl control) {
    return ControlWidget(control)->hasFocus();
}

void CQarvVindleDlg::SetFocus(vindle::MainControl control) {
    ControlWidget(control)->setFocus();
}

void CQarvVindleDlg::ShowBusyCursor(bool busy) {
    if (busy) {
        m_listDevices->setCursor(Qt::BusyCursor);
    } else {
        m_listDevices->unsetCursor();
    }
}

void CQarvVindleDlg::ShowStatus(const std::string& brief, const std::string& full) {
    // File names and system texts come in the system's encoding; the tooltip holds the full text.
    const QString text = FromSystemText(brief);
    m_statusLine->setText(text);
    m_statusLine->setToolTip(full.empty() ? text : FromSystemText(full));
}

void CQarvVindleDlg::ShowMessage(const std::string& text) {
    vindle::DeviceListActions::ShowWarning(this, text);
}

bool CQarvVindleDlg::OpenAddress(const std::string& url) {
    return vindle::DeviceListActions::OpenUrl(url);
}

bool CQarvVindleDlg::PutOnClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}

std::optional<vindle::SaveFileChoice> CQarvVindleDlg::AskSaveFileName() {
    return vindle::DeviceListActions::AskSaveFileName(this);
}

void CQarvVindleDlg::Post(Task task) {
    m_gate.Post(std::move(task));
}

QString CQarvVindleDlg::StatusText() const {
    return m_statusLine->text();
}

int CQarvVindleDlg::QueuedCallsFromWorkers() const {
    return m_listMirror->PostedCalls() + m_logic->PostedReports();
}

void CQarvVindleDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CQarvVindleDlg::OnConfiguration() {
    // The window reads nothing afterwards: a changed mode or time-out applies at the next search.
    CConsetDlg dialog(m_settings, this);
    dialog.exec();
}

bool CQarvVindleDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        watched == m_listDevices->header()->viewport()) {
        m_headerPressButton = static_cast<QMouseEvent*>(event)->button();
    }
    return QDialog::eventFilter(watched, event);
}

void CQarvVindleDlg::keyPressEvent(QKeyEvent* event) {
    // Escape never closes the main window, whichever control has the focus; the close box
    // still does.
    if (event->key() == Qt::Key_Escape || event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CQarvVindleDlg::closeEvent(QCloseEvent* event) {
    StopSearch();
    QDialog::closeEvent(event);
}

void CQarvVindleDlg::StopSearch() {
    m_logic->OnClose();
    m_listAdapter->Detach();
    m_gate.Detach();
}

void CQarvVindleDlg::FinishSearch() {
    m_logic->FinishSearch();
}
