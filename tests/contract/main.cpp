#include <QApplication>

#include <gtest/gtest.h>

// One QApplication for every test: the Qt backend needs it, the in-memory one ignores it.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // As in the program: a window closed by its close box must not end the process.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
