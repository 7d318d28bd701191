#include "wp/KSortedList.h"

#include "wp/Error.h"

#include <algorithm>

namespace wp {

KSortedList::KSortedList(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("KSortedList"));
}

KSortedList::~KSortedList() = default;

qint32 KSortedList::Count() const {
    return static_cast<qint32>(m_items.size());
}

void KSortedList::Add(const QString& item) {
    m_items.append(item);
}

QString KSortedList::Item(qint32 index) const {
    if (index < 0 || index >= m_items.size())
        raise(err::SubscriptOutOfRange, QStringLiteral("KSortedList"));
    return m_items.at(index);
}

void KSortedList::Sort(qint32 order) {
    // By UTF-16 code unit, so zero-padded numbers sort as numbers.
    if (order == 0)
        std::stable_sort(m_items.begin(), m_items.end(),
                         [](const QString& a, const QString& b) { return a > b; });
    else
        std::stable_sort(m_items.begin(), m_items.end());
}

} // namespace wp
