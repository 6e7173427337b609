#pragma once
// File dialogs for tests: each call is recorded and answered from a queue (a
// cancelled dialog once the queue is empty).

#include <QString>
#include <deque>
#include <vector>

#include "ui/FileChooser.h"

class CFakeFileChooser final : public CFileChooser {
public:
    struct Request {
        bool bSave = false;
        QWidget* pOwner = nullptr;
        QString strCaption;
        QString strFilter;
        QString strDefaultSuffix;
        QString strInitialPath;
    };

    // The next dialog returns `path`, and `filter` as the file type chosen; an empty
    // path makes it a cancel.
    void QueueAnswer(const QString& path, const QString& filter = QString())
    {
        m_answers.push_back(path);
        m_filters.push_back(filter);
    }
    [[nodiscard]] const std::vector<Request>& Requests() const { return m_requests; }

    bool GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, QString& path) override;
    bool GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& defaultSuffix, const QString& initialPath, QString& path,
                         QString* pChosenFilter = nullptr) override;

private:
    [[nodiscard]] bool Answer(QString& path);

    std::deque<QString> m_answers;
    std::deque<QString> m_filters;
    std::vector<Request> m_requests;
};
