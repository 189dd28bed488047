#pragma once

// Print dialogs for the printing tests: one answered from a script, one the platform's own.

#include <optional>

#include <QDialog>
#include <QImage>
#include <QPrintDialog>
#include <QPrinter>
#include <QString>

#include "ui/platform_services.h"

namespace hakomiru::testing {

// Services whose print dialog answers from a script and records what it was shown.
class ScriptedPrintServices : public PlatformServices
{
public:
    bool acceptPrintDialog = true;
    int printDialogs = 0;

    std::optional<QString> chooseOpenFile(QWidget*, const OpenDialogSetup&) override { return {}; }
    std::optional<QString> chooseSaveFile(QWidget*, const SaveDialogSetup&) override { return {}; }
    bool askOkCancel(QWidget*, const QString&, const QString&) override { return false; }
    void showMessage(QWidget*, const QString&, const QString&) override { ++messages; }
    bool choosePrinter(QWidget* owner, QPrinter&) override
    {
        ++printDialogs;
        lastOwner = owner;
        return acceptPrintDialog;
    }
    std::optional<OfferedPicture> clipboardPicture() override { return {}; }
    SlotReading readSlotPicture(const QString&, const SlotReadPlan&) override
    {
        return Failure{QStringLiteral("no pictures here")};
    }

    int messages = 0;
    QWidget* lastOwner = nullptr; // the window the last print dialog was modal to
};

// Services with the platform's real print dialog, as the program has them.
class PrintDialogServices : public ScriptedPrintServices
{
public:
    bool choosePrinter(QWidget* owner, QPrinter& printer) override
    {
        ++printDialogs;
        QPrintDialog dialog(&printer, owner);
        return dialog.exec() == QDialog::Accepted;
    }
};

} // namespace hakomiru::testing
