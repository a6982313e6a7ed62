// The window tests need the pane's scheme registered before the application.
#include "app/invoicepane.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // The same quiet set-up as ctest's, also when run by hand or for listing.
    const char *defaults[][2] = { { "QT_QPA_PLATFORM", "offscreen" }, { "QTWEBENGINE_DISABLE_SANDBOX", "1" },
        { "QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu" } };
    for (const auto &d : defaults)
        if (qEnvironmentVariableIsEmpty(d[0]))
            qputenv(d[0], d[1]);
    InvoicePane::registerScheme();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
