#include <QCoreApplication>
#include <gtest/gtest.h>

// Logic tests run inside a core application: child processes report through its event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
