#pragma once
// An XML document or one element of it, with the operations the library
// uses to read and write every XML text it handles.

#include <QString>
#include <QtGlobal>
#include <memory>

namespace wp {

class KXml;
/// An element or document handle; a null pointer is "Nothing".
using KXmlRef = std::shared_ptr<KXml>;

class KXml {
public:
    /// A new, empty document.
    KXml();
    ~KXml();
    KXml(const KXml&) = delete;
    KXml& operator=(const KXml&) = delete;

    /// Replaces the content by the parsed text; on a parse error the object
    /// holds an empty document and false is returned.
    bool LoadXml(const QString& text);
    /// Becomes a new document with an empty root element `tag`.
    void CreateRoot(const QString& tag);
    /// The whole document as XML text.
    QString Xml() const;

    /// Text of the child element `tag` of this element; "" when absent.
    QString ChildValue(const QString& tag) const;
    /// Sets the text of child `tag`, creating the child when absent.
    void SetChildValue(const QString& tag, const QString& text);
    bool HasChild(const QString& tag) const;
    /// Value of attribute `name` of this element; "" when absent.
    QString AttributeValue(const QString& name) const;
    /// Adds or replaces attribute `name` on this element.
    void SetAttribute(const QString& name, const QString& value);
    /// Adds or replaces attribute `name` on the root element.
    void AddAttribute(const QString& name, const QString& value);
    /// Appends a new child `tag` with `text` under the root; returns it.
    KXmlRef AddChild(const QString& tag, const QString& text = QString());
    /// The child element `tag` of this element, or nullptr.
    KXmlRef ChildNode(const QString& tag) const;
    /// The element `tag` (a child, else anywhere below), or nullptr.
    KXmlRef SelectNode(const QString& tag) const;
    /// The first element `tag` below this one, or nullptr.
    KXmlRef FindNode(const QString& tag) const;
    /// First element `tag` whose attribute `attribute` equals `value`,
    /// searched from `start` (or the root when null) in document order.
    KXmlRef FindByAttribute(const KXmlRef& start, const QString& tag, const QString& attribute,
                            const QString& value) const;
    /// This element's text.
    QString Text() const;
    /// Number of child elements of the root (of this element).
    qint32 ChildCount() const;
    /// The child element at a 0-based index, or nullptr.
    KXmlRef ChildAt(qint32 index) const;
    /// Moves `node` to be the last child of the root (of this element).
    void AppendNode(const KXmlRef& node);
    /// Drops the child element `tag`.
    void RemoveChild(const QString& tag);

    /// The element's tag name ("" for an empty document).
    QString TagName() const;

    struct Impl;
    static KXmlRef fromImpl(std::unique_ptr<Impl> impl);

private:
    explicit KXml(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace wp
