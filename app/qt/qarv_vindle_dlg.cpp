#include "app/qt/qarv_vindle_dlg.h"

#include <QCloseEvent>
#include <QFontMetrics>
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
#include "app/qt/configuration_command.h"
#include "app/qt/device_list_actions.h"
#include "app/qt/qt_search_observer.h"
#include "app/qt/window_icon.h"
#include "discovery/column_sort.h"
#include "discovery/device_list_rules.h"
#include "discovery/search_status_text.h"
#include "platform/qt/dialog_units.h"
#include "platform/qt/qt_list_mirror.h"
#include "platform/qt/qt_list_view.h"
#include "settings/settings_file.h"

namespace {

// Client area of the window in dialog units; the menu bar sits above it.
constexpr int kClientWidth = 318;
constexpr int kClientHeight = 358;
constexpr int kTitleCellHeight = 32;

// "Times New Roman" (or the closest serif) whose cell, ascent plus descent, is 32 pixels high,
// as a Windows font of height 32 is: its characters are a little smaller than 32 pixels.
QString FromSystemText(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QFont TitleFont() {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setWeight(QFont::Normal);
    // The cell grows in proportion to the size: one measurement gives the size to try, and each
    // size measured loads a font, so the search downwards is short.
    font.setPixelSize(kTitleCellHeight);
    const int cellAtFull = QFontMetrics(font).height();
    int pixels = cellAtFull > kTitleCellHeight ? kTitleCellHeight * kTitleCellHeight / cellAtFull
                                               : kTitleCellHeight;
    font.setPixelSize(pixels);
    while (pixels > 1 && QFontMetrics(font).height() > kTitleCellHeight) {
        font.setPixelSize(--pixels);
    }
    return font;
}

}  // namespace

CQarvVindleDlg::CQarvVindleDlg(vindle::Network& network, vindle::Settings& settings,
                               QWidget* parent)
    : QDialog(parent), m_network(network), m_settings(settings) {
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
    BuildMenu();
    BuildControls();
    if (const auto problem = vindle::StartupSettingsProblem(settingsAtStart.get().status)) {
        SetStatusLine(*problem);
    }

    m_listAdapter = std::make_unique<vindle::QtListView>(m_listDevices);
    m_listMirror = std::make_unique<vindle::QtListMirror>(m_rows, *m_listAdapter);
    m_rowActions = new vindle::DeviceListActions(m_listDevices, *m_listMirror);
    m_searchObserver = std::make_unique<vindle::QtSearchObserver>(
        [this](const vindle::SearchProgress& progress) { OnSearchProgressed(progress); },
        [this](const vindle::SearchOutcome& outcome) { OnSearchEnded(outcome); });
    m_session = std::make_unique<vindle::SearchSession>(
        m_settings, m_network, m_rows, m_searchObserver.get(),
        [this](WorkerBody body) { return StartWorkerThread(std::move(body)); });
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
    connect(saveList, &QAction::triggered, this, [this] { m_rowActions->SaveListAs(); });

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
    connect(m_btnRetrieve, &QPushButton::clicked, this, &CQarvVindleDlg::OnRetrieve);

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
    connect(header, &QHeaderView::sectionClicked, this, &CQarvVindleDlg::OnHeaderSectionClicked);
    connect(m_listDevices, &QTreeWidget::itemSelectionChanged, this,
            &CQarvVindleDlg::OnListItemChanged);

    m_btnBrowse = new QPushButton(QStringLiteral("Browse"), client);
    m_btnBrowse->setObjectName(QStringLiteral("browseButton"));
    m_btnBrowse->setGeometry(units.ToPixels(262, 320, 53, 20));
    m_btnBrowse->setEnabled(false);
    connect(m_btnBrowse, &QPushButton::clicked, this, &CQarvVindleDlg::OnBrowse);

    m_staticTitle = new QLabel(QStringLiteral("Qarv Vindle"), client);
    m_staticTitle->setObjectName(QStringLiteral("titleLabel"));
    m_staticTitle->setTextFormat(Qt::PlainText);
    m_staticTitle->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_staticTitle->setGeometry(units.ToPixels(3, 3, 258, 22));
    m_staticTitle->setFont(TitleFont());

    // The free band left of "Browse": the status line, and "Stop" while a search runs.
    m_statusLine = new QLabel(QString::fromStdString(vindle::IdleStatusText()), client);
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
    m_btnStop->hide();
    connect(m_btnStop, &QPushButton::clicked, this, &CQarvVindleDlg::OnStop);

    setTabOrder(m_btnRetrieve, m_listDevices);
    setTabOrder(m_listDevices, m_btnStop);
    setTabOrder(m_btnStop, m_btnBrowse);
    setFixedSize(clientSize.width(), menuHeight + clientSize.height());
    m_btnRetrieve->setFocus();
}

void CQarvVindleDlg::OnRetrieve() {
    // Disabled until the session reports the end; a Retrieve that starts nothing gives it back.
    m_btnRetrieve->setEnabled(false);
    const vindle::SearchStart start = m_session->Start();
    SetStatusLine(vindle::StartStatusLine(start));
    if (!start.Started()) {
        m_btnRetrieve->setEnabled(true);
        return;
    }
    ShowSearchRunning(true);
}

std::thread CQarvVindleDlg::StartWorkerThread(WorkerBody body) {
    return std::thread(std::move(body));
}

void CQarvVindleDlg::OnStop() {
    // The search's waits, sends and opens fail from now on; the worker ends through its usual
    // last steps and keeps the rows it listed.
    m_btnStop->setEnabled(false);
    m_session->Stop();
}

void CQarvVindleDlg::OnSearchProgressed(const vindle::SearchProgress& progress) {
    if (!m_session->StopRequested()) {
        SetStatusText(vindle::ProgressStatusText(progress));
    }
}

void CQarvVindleDlg::OnSearchEnded(const vindle::SearchOutcome& outcome) {
    m_lastOutcome = outcome;
    SetStatusText(m_session->EndStatusText(outcome));
    ShowSearchRunning(false);
    // The search's socket is closed by now.
    m_btnRetrieve->setEnabled(true);
}

void CQarvVindleDlg::ShowSearchRunning(bool running) {
    m_btnStop->setEnabled(running);
    m_btnStop->setVisible(running);
    if (running) {
        m_listDevices->setCursor(Qt::BusyCursor);
    } else {
        if (m_btnStop->hasFocus()) {
            m_listDevices->setFocus();
        }
        m_listDevices->unsetCursor();
    }
}

void CQarvVindleDlg::SetStatusText(const std::string& text) {
    SetStatusLine({text, ""});
}

void CQarvVindleDlg::SetStatusLine(const vindle::StatusLine& line) {
    // File names and system texts come in the system's encoding.
    const QString text = FromSystemText(line.brief);
    m_statusLine->setText(text);
    m_statusLine->setToolTip(line.full.empty() ? text : FromSystemText(line.full));
}

QString CQarvVindleDlg::StatusText() const {
    return m_statusLine->text();
}

int CQarvVindleDlg::QueuedCallsFromWorkers() const {
    return m_listMirror->PostedCalls() + m_searchObserver->PostedCalls();
}

void CQarvVindleDlg::OnBrowse() {
    m_rowActions->OpenWebPage(m_listAdapter->NextSelected(-1));
}

void CQarvVindleDlg::OnListItemChanged() {
    m_btnBrowse->setEnabled(vindle::BrowseEnabledAfterSelectionChange(
        m_btnBrowse->isEnabled(), m_listAdapter->NextSelected(-1)));
}

void CQarvVindleDlg::OnAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CQarvVindleDlg::OnConfiguration() {
    // The window reads nothing afterwards: a changed mode or time-out applies at the next search.
    RunConfigurationDialog(this, m_settings);
}

void CQarvVindleDlg::OnHeaderSectionClicked(int section) {
    // The header reports left clicks only; the pressed button confirms it.
    if (m_headerPressButton == Qt::LeftButton) {
        OnHeaderItemClick(section, 0);
    }
}

void CQarvVindleDlg::OnHeaderItemClick(int column, int button) {
    if (button != 0) {
        return;
    }
    m_bSortAscending = vindle::SortAscendingAfterClick(m_nSortColumn, column);
    m_nSortColumn = column;
    // The rows are sorted where the search places them, so later rows go where the sort says.
    m_listMirror->WithRows(
        [&](vindle::ListView& rows) { vindle::SortByColumn(rows, column, m_bSortAscending); });
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
    m_session->Close();
    m_listMirror->Detach();
    m_listAdapter->Detach();
    m_searchObserver->Detach();
}

void CQarvVindleDlg::FinishSearch() {
    m_session->Wait();
}
