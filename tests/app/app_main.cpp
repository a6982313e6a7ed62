// The window tests need the pane's scheme registered before the application.
#include "app/invoicepane.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    InvoicePane::registerScheme();
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
