#include "ui/QtStatusLine.h"

void CQtStatusLine::SetText(const std::string& text)
{
    std::lock_guard lock(m_mutex);
    m_pending.push_back(text);
}

void CQtStatusLine::DeliverPending()
{
    std::deque<std::string> texts;
    {
        std::lock_guard lock(m_mutex);
        texts.swap(m_pending);
    }
    for (const std::string& text : texts)
        emit textChanged(QString::fromStdString(text));
}
