#pragma once

// Platform services for tests: every answer is set up by the test beforehand, and every question
// the program asks is recorded, so a test can check both what was shown and what followed.

#include <deque>
#include <functional>
#include <mutex>
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
    // Called just before the clipboard is read.
    std::function<void()> beforeRead;
    // Called on the reading thread just before a picture file is read; it may hold the read.
    std::function<void(const QString& path)> duringRead;

    // What the program asked.
    std::vector<OpenDialogSetup> openSetups;
    std::vector<SaveDialogSetup> saveSetups;
    std::vector<Asked> questions;
    std::vector<Asked> messages;
    int printerDialogs = 0;
    int clipboardReads = 0;
    // Every picture read: the path and the pixel size its boxes' picture was decoded at (invalid
    // on failure). Written on the reading threads: read it once the reads have ended.
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
    std::optional<OfferedPicture> clipboardPicture() override
    {
        ++clipboardReads;
        if (beforeRead)
            beforeRead();
        if (!clipboard)
            return std::nullopt;
        return OfferedPicture{{}, *clipboard};
    }
    SlotReading readSlotPicture(const QString& path, const SlotReadPlan& plan) override
    {
        if (duringRead)
            duringRead(path);
        SlotReading read = readSlotFile(path, plan);
        const std::lock_guard lock(m_loadsMutex);
        loads.emplace_back(path, read.ok() ? read->boxes.image.size() : QSize());
        return read;
    }
    // The reads recorded so far (the reads run on worker threads).
    [[nodiscard]] std::size_t loadCount()
    {
        const std::lock_guard lock(m_loadsMutex);
        return loads.size();
    }

private:
    std::mutex m_loadsMutex;
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
