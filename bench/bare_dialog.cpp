// The start-up baseline: a bare Qt dialog holding one list widget and nothing else, shown
// modally as the main window is. Its start-up time and memory are what Qt itself costs.
#include <QApplication>
#include <QDialog>
#include <QTreeWidget>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare Dialog"));
    auto* list = new QTreeWidget(&dialog);
    list->setColumnCount(4);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    return dialog.exec();
}
