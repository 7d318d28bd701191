#pragma once
// A list of strings that sorts itself on request: the sorted string list
// component. Its members are reachable by name, as a late-bound caller
// reaches them, in the order of the component's interface.

#include <QObject>
#include <QString>
#include <QStringList>

namespace wp {

class KSortedList : public QObject {
    Q_OBJECT
    Q_CLASSINFO("CLSID", "{BDA7C356-183B-4A36-8CB5-439C9566BE52}")
    Q_CLASSINFO("Interface", "{4340DF8E-D7A3-4675-BE74-80077B2B3E81}")

public:
    explicit KSortedList(QObject* parent = nullptr);
    ~KSortedList() override;

    /// Number of strings held.
    Q_INVOKABLE qint32 Count() const;
    /// Appends a string (duplicates are kept).
    Q_INVOKABLE void Add(const QString& item);
    /// The string at a 0-based index; an index outside the list is error 9.
    Q_INVOKABLE QString Item(qint32 index) const;
    /// Sorts by character code: 0 from the greatest string down (Item(0) is
    /// then the greatest), any other value from the smallest up.
    Q_INVOKABLE void Sort(qint32 order);

private:
    QStringList m_items;
};

} // namespace wp
