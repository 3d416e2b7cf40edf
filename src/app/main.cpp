#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::printf("Quorvel\n");
    return 0;
}
