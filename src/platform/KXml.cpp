#include "wp/KXml.h"

#include <QDomDocument>
#include <QDomElement>

namespace wp {

// A document object has a null `element` and works on the root; an element
// object works on its element. Both share the QDomDocument (implicitly
// shared, so elements stay valid while any handle lives).
struct KXml::Impl {
    QDomDocument doc;
    QDomElement element;

    QDomElement self() const { return element.isNull() ? doc.documentElement() : element; }
    QDomElement root() const { return self(); }
};

KXml::KXml() : d(std::make_unique<Impl>()) {}
KXml::KXml(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
KXml::~KXml() = default;

KXmlRef wrapDomElement(const QDomDocument& doc, const QDomElement& e) {
    if (e.isNull())
        return nullptr;
    auto impl = std::make_unique<KXml::Impl>();
    impl->doc = doc;
    impl->element = e;
    return KXmlRef(new KXml(std::move(impl)));
}

bool KXml::LoadXml(const QString& text) {
    d->element = QDomElement();
    QDomDocument doc;
    if (!doc.setContent(text)) {
        d->doc = QDomDocument();
        return false;
    }
    d->doc = doc;
    return true;
}

void KXml::CreateRoot(const QString& tag) {
    d->doc = QDomDocument();
    d->element = QDomElement();
    d->doc.appendChild(d->doc.createElement(tag));
}

QString KXml::Xml() const {
    return d->doc.toString(-1);
}

QString KXml::ChildValue(const QString& tag) const {
    return d->self().firstChildElement(tag).text();
}

void KXml::SetChildValue(const QString& tag, const QString& text) {
    QDomElement parent = d->self();
    if (parent.isNull())
        return;
    QDomElement child = parent.firstChildElement(tag);
    if (child.isNull()) {
        child = d->doc.createElement(tag);
        parent.appendChild(child);
    }
    while (child.hasChildNodes())
        child.removeChild(child.firstChild());
    if (!text.isEmpty())
        child.appendChild(d->doc.createTextNode(text));
}

bool KXml::HasChild(const QString& tag) const {
    return !d->self().firstChildElement(tag).isNull();
}

QString KXml::AttributeValue(const QString& name) const {
    return d->self().attribute(name);
}

void KXml::SetAttribute(const QString& name, const QString& value) {
    QDomElement e = d->self();
    if (!e.isNull())
        e.setAttribute(name, value);
}

void KXml::AddAttribute(const QString& name, const QString& value) {
    QDomElement e = d->root();
    if (!e.isNull())
        e.setAttribute(name, value);
}

KXmlRef KXml::AddChild(const QString& tag, const QString& text) {
    QDomElement parent = d->root();
    if (parent.isNull()) {
        // An empty document: the new element becomes its root.
        QDomElement e = d->doc.createElement(tag);
        if (!text.isEmpty())
            e.appendChild(d->doc.createTextNode(text));
        d->doc.appendChild(e);
        return wrapDomElement(d->doc, e);
    }
    QDomElement e = d->doc.createElement(tag);
    if (!text.isEmpty())
        e.appendChild(d->doc.createTextNode(text));
    parent.appendChild(e);
    return wrapDomElement(d->doc, e);
}

KXmlRef KXml::ChildNode(const QString& tag) const {
    return wrapDomElement(d->doc, d->self().firstChildElement(tag));
}

static QDomElement firstBelow(const QDomElement& from, const QString& tag) {
    // Document order, depth first; elementsByTagName would build a live list.
    for (QDomElement c = from.firstChildElement(); !c.isNull(); c = c.nextSiblingElement()) {
        if (c.tagName() == tag)
            return c;
        QDomElement deeper = firstBelow(c, tag);
        if (!deeper.isNull())
            return deeper;
    }
    return QDomElement();
}

KXmlRef KXml::SelectNode(const QString& tag) const {
    QDomElement self = d->self();
    if (self.isNull())
        return nullptr;
    if (d->element.isNull() && self.tagName() == tag)
        return wrapDomElement(d->doc, self);
    QDomElement child = self.firstChildElement(tag);
    return wrapDomElement(d->doc, child.isNull() ? firstBelow(self, tag) : child);
}

KXmlRef KXml::FindNode(const QString& tag) const {
    return wrapDomElement(d->doc, firstBelow(d->self(), tag));
}

KXmlRef KXml::FindByAttribute(const KXmlRef& start, const QString& tag, const QString& attribute,
                              const QString& value) const {
    QDomElement from = start ? start->d->self() : d->doc.documentElement();
    if (from.isNull())
        return nullptr;
    if (from.tagName() == tag && from.attribute(attribute) == value && from.hasAttribute(attribute))
        return wrapDomElement(d->doc, from);
    // Walk the subtree in document order.
    QDomNode n = from.firstChild();
    while (!n.isNull() && n != from) {
        if (n.isElement()) {
            QDomElement e = n.toElement();
            if (e.tagName() == tag && e.hasAttribute(attribute) && e.attribute(attribute) == value)
                return wrapDomElement(d->doc, e);
        }
        if (n.hasChildNodes()) {
            n = n.firstChild();
            continue;
        }
        while (!n.isNull() && n != from && n.nextSibling().isNull())
            n = n.parentNode();
        if (n.isNull() || n == from)
            break;
        n = n.nextSibling();
    }
    return nullptr;
}

QString KXml::Text() const {
    return d->self().text();
}

qint32 KXml::ChildCount() const {
    qint32 n = 0;
    for (QDomElement c = d->root().firstChildElement(); !c.isNull(); c = c.nextSiblingElement())
        ++n;
    return n;
}

KXmlRef KXml::ChildAt(qint32 index) const {
    if (index < 0)
        return nullptr;
    QDomElement c = d->root().firstChildElement();
    for (qint32 i = 0; i < index && !c.isNull(); ++i)
        c = c.nextSiblingElement();
    return wrapDomElement(d->doc, c);
}

void KXml::AppendNode(const KXmlRef& node) {
    if (!node)
        return;
    QDomElement parent = d->root();
    QDomElement e = node->d->self();
    if (parent.isNull() || e.isNull())
        return;
    if (e.ownerDocument() == d->doc) {
        parent.appendChild(e); // moves it from its old place
        return;
    }
    QDomNode copy = d->doc.importNode(e, true);
    if (!e.parentNode().isNull())
        e.parentNode().removeChild(e);
    parent.appendChild(copy);
    node->d->doc = d->doc;
    node->d->element = copy.toElement();
}

void KXml::RemoveChild(const QString& tag) {
    QDomElement parent = d->self();
    QDomElement child = parent.firstChildElement(tag);
    if (!child.isNull())
        parent.removeChild(child);
}

QString KXml::TagName() const {
    return d->self().tagName();
}

} // namespace wp
