#include "tests/support/FakeFileChooser.h"

bool CFakeFileChooser::GetOpenFileName(QWidget* owner, const QString& caption, const QString& filter,
                                       const QString& defaultSuffix, QString& path)
{
    m_requests.push_back({false, owner, caption, filter, defaultSuffix, QString()});
    return Answer(path);
}

bool CFakeFileChooser::GetSaveFileName(QWidget* owner, const QString& caption, const QString& filter,
                                       const QString& defaultSuffix, const QString& initialPath, QString& path,
                                       QString* pChosenFilter)
{
    m_requests.push_back({true, owner, caption, filter, defaultSuffix, initialPath});
    const QString chosen = m_filters.empty() ? QString() : m_filters.front();
    if (!Answer(path))
        return false;
    if (pChosenFilter)
        *pChosenFilter = chosen;
    return true;
}

bool CFakeFileChooser::Answer(QString& path)
{
    if (m_answers.empty())
        return false;
    QString answer = m_answers.front();
    m_answers.pop_front();
    if (!m_filters.empty())
        m_filters.pop_front();
    if (answer.isEmpty())
        return false;
    path = answer;
    return true;
}
