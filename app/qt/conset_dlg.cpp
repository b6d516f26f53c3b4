#include "app/qt/conset_dlg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

#include <string>
#include <utility>

#include "app/qt/conset_adapters.h"
#include "platform/qt/dialog_units.h"
#include "platform/qt/ip_address_edit.h"
#include "platform/qt/qt_control.h"
#include "platform/qt/qt_list_view.h"
#include "settings/conset_logic.h"

namespace {

constexpr int kColumnPixels = 115;

CConsetDlg::MessageBoxHook& MessageBoxHookSlot() {
    static CConsetDlg::MessageBoxHook s_hook;
    return s_hook;
}

}  // namespace

CConsetDlg::MessageBoxHook CConsetDlg::SetMessageBoxHook(MessageBoxHook hook) {
    return std::exchange(MessageBoxHookSlot(), std::move(hook));
}

CConsetDlg::CConsetDlg(const vindle::Settings& settings, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("consetDialog"));
    setWindowTitle(QStringLiteral("Configuration Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(vindle::DialogTemplateFont());

    BuildControls();

    m_addControl = std::make_unique<vindle::QtControl>(m_addButton);
    m_deleteControl = std::make_unique<vindle::QtControl>(m_deleteButton);
    m_listControl = std::make_unique<vindle::QtControl>(m_addressList);
    m_listView = std::make_unique<vindle::QtListView>(m_addressList);
    m_checkControl = std::make_unique<vindle::QtCheckBox>(m_searchSpecifiedCheck);
    m_addressControl = std::make_unique<vindle::QtIpAddress>(m_addressEdit);
    m_maskControl = std::make_unique<vindle::QtIpAddress>(m_maskEdit);
    m_timeoutControl = std::make_unique<vindle::QtNumberEdit>(m_timeoutEdit);
    m_logic = std::make_unique<vindle::ConsetLogic>(
        settings,
        vindle::ConsetControls{*m_checkControl, *m_addControl, *m_deleteControl, *m_listView,
                               *m_listControl, *m_addressControl, *m_maskControl,
                               *m_timeoutControl},
        [this](const std::string& text) { ShowMessage(text.c_str()); });

    OnInitDialog();

    connect(m_addressList, &QTreeWidget::itemSelectionChanged, this,
            &CConsetDlg::OnSelectionChanged);
    connect(m_addButton, &QPushButton::clicked, this, &CConsetDlg::OnAdd);
    connect(m_deleteButton, &QPushButton::clicked, this, &CConsetDlg::OnDelete);
    connect(m_okButton, &QPushButton::clicked, this, &CConsetDlg::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &CConsetDlg::reject);
    connect(m_searchSpecifiedCheck, &QCheckBox::clicked, this,
            &CConsetDlg::OnSearchSpecifiedClicked);
}

CConsetDlg::~CConsetDlg() = default;

// Template 132, in template order (which is also the tab order), in its states at creation.
void CConsetDlg::BuildControls() {
    const vindle::DialogUnits units(font());
    auto place = [&](QWidget* widget, const char* name, int x, int y, int width, int height) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(units.ToPixels(x, y, width, height));
    };
    auto label = [&](const char* text, const char* name, int x, int y, int width, int height) {
        auto* widget = new QLabel(QString::fromLatin1(text), this);
        widget->setTextFormat(Qt::PlainText);
        place(widget, name, x, y, width, height);
        return widget;
    };

    place(new QGroupBox(QStringLiteral("IP"), this), "ipGroup", 6, 3, 187, 159);
    place(new QGroupBox(QStringLiteral("Timeout"), this), "timeoutGroup", 6, 162, 187, 44);
    QLabel* addressLabel = label("IP Address        :", "addressLabel", 21, 34, 57, 8);
    QLabel* maskLabel = label("Subnet Mask     :", "maskLabel", 21, 53, 54, 8);

    m_searchSpecifiedCheck = new QCheckBox(QStringLiteral("   Search Specified Address"), this);
    place(m_searchSpecifiedCheck, "searchSpecifiedCheck", 13, 14, 103, 10);

    m_addressEdit = new vindle::IpAddressEdit(this);
    place(m_addressEdit, "addressEdit", 86, 32, 94, 13);
    m_maskEdit = new vindle::IpAddressEdit(this);
    place(m_maskEdit, "maskEdit", 86, 51, 94, 13);

    m_addressList = new QTreeWidget(this);
    m_addressList->setRootIsDecorated(false);
    m_addressList->setItemsExpandable(false);
    m_addressList->setUniformRowHeights(true);
    m_addressList->setSortingEnabled(false);
    m_addressList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_addressList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_addressList->setEnabled(false);
    place(m_addressList, "addressList", 11, 71, 177, 69);

    m_addButton = new QPushButton(QStringLiteral("Add"), this);
    m_addButton->setEnabled(false);
    m_addButton->setAutoDefault(false);
    place(m_addButton, "addButton", 101, 143, 40, 17);
    m_deleteButton = new QPushButton(QStringLiteral("Delete"), this);
    m_deleteButton->setEnabled(false);
    m_deleteButton->setAutoDefault(false);
    place(m_deleteButton, "deleteButton", 148, 143, 40, 17);

    m_timeoutEdit = new QLineEdit(this);
    m_timeoutEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    place(m_timeoutEdit, "timeoutEdit", 127, 178, 40, 14);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setDefault(true);
    place(m_okButton, "okButton", 107, 209, 40, 18);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setAutoDefault(false);
    place(m_cancelButton, "cancelButton", 153, 209, 40, 18);

    QLabel* timeoutLabel = label("Timeout (sec)            :", "timeoutLabel", 35, 181, 71, 8);

    // Names for assistive technology; the labels are tied to the fields they describe.
    m_addressEdit->SetAccessibleNames(QStringLiteral("IP address"));
    m_maskEdit->SetAccessibleNames(QStringLiteral("Subnet mask"));
    m_timeoutEdit->setAccessibleName(QStringLiteral("Timeout in seconds"));
    m_addressList->setAccessibleName(QStringLiteral("Specified addresses"));
    addressLabel->setBuddy(m_addressEdit);
    maskLabel->setBuddy(m_maskEdit);
    timeoutLabel->setBuddy(m_timeoutEdit);

    setFixedSize(units.ToPixels(200, 238));
}

void CConsetDlg::OnInitDialog() {
    m_addressList->setColumnCount(2);
    m_addressList->setHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("Subnet Mask")});
    QHeaderView* header = m_addressList->header();
    header->setStretchLastSection(false);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_addressList->setColumnWidth(0, kColumnPixels);
    m_addressList->setColumnWidth(1, kColumnPixels);

    m_logic->LoadSettings();
}

void CConsetDlg::ShowMessage(const char* text) {
    // The messages are ASCII but for a failed save's file path, which is in the system's encoding.
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Qarv Vindle"),
                    QString::fromLocal8Bit(text), QMessageBox::Ok, this);
    if (MessageBoxHookSlot()) {
        MessageBoxHookSlot()(box);
    } else {
        box.exec();
    }
}

void CConsetDlg::OnSelectionChanged() {
    m_logic->OnSelectionChanged();
}

void CConsetDlg::OnAdd() {
    m_logic->OnAdd();
}

void CConsetDlg::OnDelete() {
    m_logic->OnDelete();
}

void CConsetDlg::OnSearchSpecifiedClicked() {
    m_logic->ApplyCheckBoxRule();
}

void CConsetDlg::accept() {
    if (m_logic->OnOk()) {
        QDialog::accept();
    }
}
