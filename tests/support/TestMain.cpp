// Entry point of every test executable: the Qt application object the suite needs, and a private
// config home so no test ever touches the real one.

#include "TestSupport.h"

#include <gtest/gtest.h>

#ifdef VORLEX_TEST_CORE_APP
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS(); // listing needs no display
    vorlex::test::ConfigHomeGuard configHome;
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
