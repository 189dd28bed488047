#pragma once

// Platform services for tests: every answer is set up by the test beforehand, and every question
// the program asks is recorded, so a test can check both what was shown and what followed.

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QImage>
#include <QString>

#include "picture/picture_file.h"
#include "ui/platform_services.h"

namespace hakomiru::testing {

class ScriptedServices : public PlatformServices
{
public:
    struct Asked
    {
        QString title;
        QString text;
    };

    // Answers, used in order; a dialog with no answer left is cancelled.
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<bool> questionAnswers;
    bool printerAnswer = false;
    // What the clipboard holds (nothing: no picture).
    std::optional<QImage> clipboard;
    // Called just before a picture file is read or the clipboard is read.
    std::function<void()> beforeRead;

    // What the program asked.
    std::vector<OpenDialogSetup> openSetups;
    std::vector<SaveDialogSetup> saveSetups;
    std::vector<Asked> questions;
    std::vector<Asked> messages;
    int printerDialogs = 0;
    int clipboardReads = 0;
    // Every picture read: the path and the pixel size it was decoded at (invalid on failure).
    std::vector<std::pair<QString, QSize>> loads;

    std::optional<QString> chooseOpenFile(QWidget*, const OpenDialogSetup& setup) override
    {
        openSetups.push_back(setup);
        return next(openAnswers);
    }
    std::optional<QString> chooseSaveFile(QWidget*, const SaveDialogSetup& setup) override
    {
        saveSetups.push_back(setup);
        return next(saveAnswers);
    }
    bool askOkCancel(QWidget*, const QString& title, const QString& text) override
    {
        questions.push_back({title, text});
        if (questionAnswers.empty())
            return false;
        const bool answer = questionAnswers.front();
        questionAnswers.pop_front();
        return answer;
    }
    void showMessage(QWidget*, const QString& title, const QString& text) override
    {
        messages.push_back({title, text});
    }
    bool choosePrinter(QWidget*, QPrinter&) override
    {
        ++printerDialogs;
        return printerAnswer;
    }
    std::optional<QImage> clipboardPicture() override
    {
        ++clipboardReads;
        if (beforeRead)
            beforeRead();
        return clipboard;
    }
    PictureLoad loadPicture(const QString& path, const DecodeSizeFor& decodeSizeFor) override
    {
        if (beforeRead)
            beforeRead();
        PictureLoad load = loadPictureFile(path, decodeSizeFor);
        loads.emplace_back(path, load.ok() ? load->image.size() : QSize());
        return load;
    }

private:
    static std::optional<QString> next(std::deque<std::optional<QString>>& answers)
    {
        QString answer;
        bool given = false;
        if (!answers.empty()) {
            given = answers.front().has_value();
            answer = answers.front().value_or(QString());
            answers.pop_front();
        }
        return given ? std::optional<QString>(answer) : std::nullopt;
    }
};

} // namespace hakomiru::testing
