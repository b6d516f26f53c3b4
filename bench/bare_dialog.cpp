// The start-up baseline: a bare Qt dialog holding one list widget and nothing else, shown
// modally as the main window is. Its start-up time and memory are what Qt itself costs.
// `--size WIDTHxHEIGHT` gives it another size (the main window's, to tell apart what the
// window's area costs to draw from what its contents cost).
#include <QApplication>
#include <QDialog>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Bare Dialog"));
    auto* list = new QTreeWidget(&dialog);
    list->setColumnCount(4);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    int width = 0;
    int height = 0;
    if (argc == 3 && std::string(argv[1]) == "--size" &&
        std::sscanf(argv[2], "%dx%d", &width, &height) == 2) {
        dialog.resize(width, height);
    }
    return dialog.exec();
}
