#include "wp/KXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <vector>

// A small element tree of our own rather than QDom: QDom keeps attributes
// in a hash, so a document written back would come out in a different
// attribute order on every run. Hosts get their XML back as they gave it.

namespace wp {

struct KXmlNode {
    enum Kind { Element, Text, CData, Comment, ProcessingInstruction };
    Kind kind = Element;
    QString name;  // tag, or PI target
    QString value; // text, comment or PI data
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<std::shared_ptr<KXmlNode>> children;
    KXmlNode* parent = nullptr;

    std::shared_ptr<KXmlNode> firstChildElement(const QString& tag) const {
        for (const auto& c : children)
            if (c->kind == Element && c->name == tag)
                return c;
        return nullptr;
    }
    QString text() const {
        if (kind == Text || kind == CData)
            return value;
        QString out;
        if (kind == Element)
            for (const auto& c : children)
                out += c->text();
        return out;
    }
    const QString* attribute(const QString& n) const {
        for (const auto& [k, v] : attributes)
            if (k == n)
                return &v;
        return nullptr;
    }
    void setAttribute(const QString& n, const QString& v) {
        for (auto& [k, old] : attributes)
            if (k == n) {
                old = v;
                return;
            }
        attributes.emplace_back(n, v);
    }
    void append(std::shared_ptr<KXmlNode> child) {
        child->detach();
        child->parent = this;
        children.push_back(std::move(child));
    }
    void detach() {
        if (!parent)
            return;
        auto& siblings = parent->children;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (it->get() == this) {
                siblings.erase(it);
                break;
            }
        parent = nullptr;
    }
};

namespace {
using NodePtr = std::shared_ptr<KXmlNode>;

NodePtr element(const QString& tag, const QString& text = QString()) {
    auto e = std::make_shared<KXmlNode>();
    e->name = tag;
    if (!text.isEmpty()) {
        auto t = std::make_shared<KXmlNode>();
        t->kind = KXmlNode::Text;
        t->value = text;
        t->parent = e.get();
        e->children.push_back(t);
    }
    return e;
}

// Document order, depth first.
NodePtr firstBelow(const KXmlNode& from, const QString& tag) {
    for (const auto& c : from.children) {
        if (c->kind != KXmlNode::Element)
            continue;
        if (c->name == tag)
            return c;
        if (NodePtr deeper = firstBelow(*c, tag))
            return deeper;
    }
    return nullptr;
}

NodePtr firstByAttribute(const NodePtr& from, const QString& tag, const QString& attribute,
                         const QString& value) {
    if (from->kind != KXmlNode::Element)
        return nullptr;
    if (from->name == tag) {
        const QString* v = from->attribute(attribute);
        if (v && *v == value)
            return from;
    }
    for (const auto& c : from->children)
        if (NodePtr hit = firstByAttribute(c, tag, attribute, value))
            return hit;
    return nullptr;
}

void write(QXmlStreamWriter& w, const KXmlNode& n) {
    switch (n.kind) {
    case KXmlNode::Text:
        w.writeCharacters(n.value);
        return;
    case KXmlNode::CData:
        w.writeCDATA(n.value);
        return;
    case KXmlNode::Comment:
        w.writeComment(n.value);
        return;
    case KXmlNode::ProcessingInstruction:
        w.writeProcessingInstruction(n.name, n.value);
        return;
    case KXmlNode::Element:
        break;
    }
    w.writeStartElement(n.name); // an element closed at once is written as <name/>
    for (const auto& [k, v] : n.attributes)
        w.writeAttribute(k, v);
    for (const auto& c : n.children)
        write(w, *c);
    w.writeEndElement();
}
} // namespace

// The document: prolog nodes, then the root element (a KXmlNode whose
// children are the top-level nodes, root element among them).
struct KXml::Impl {
    std::shared_ptr<KXmlNode> document = std::make_shared<KXmlNode>();
    QString declaration;
    NodePtr element; // null: this object is the document itself

    NodePtr root() const {
        for (const auto& c : document->children)
            if (c->kind == KXmlNode::Element)
                return c;
        return nullptr;
    }
    NodePtr self() const { return element ? element : root(); }
};

KXml::KXml() : d(std::make_unique<Impl>()) {}
KXml::KXml(std::unique_ptr<Impl> impl) : d(std::move(impl)) {}
KXml::~KXml() = default;

static KXmlRef wrap(const KXml::Impl& owner, NodePtr e) {
    if (!e)
        return nullptr;
    auto impl = std::make_unique<KXml::Impl>();
    impl->document = owner.document;
    impl->element = std::move(e);
    return KXml::fromImpl(std::move(impl));
}

KXmlRef KXml::fromImpl(std::unique_ptr<Impl> impl) {
    return KXmlRef(new KXml(std::move(impl)));
}

bool KXml::LoadXml(const QString& text) {
    auto doc = std::make_shared<KXmlNode>();
    QString declaration;
    QXmlStreamReader r(text);
    KXmlNode* current = doc.get();
    bool sawRoot = false;
    while (!r.atEnd()) {
        switch (r.readNext()) {
        case QXmlStreamReader::StartDocument:
            if (r.documentVersion().isEmpty())
                break; // no declaration in the text
            declaration = QStringLiteral("<?xml version=\"%1\"").arg(r.documentVersion());
            if (!r.documentEncoding().isEmpty())
                declaration += QStringLiteral(" encoding=\"%1\"").arg(r.documentEncoding());
            if (r.isStandaloneDocument())
                declaration += QStringLiteral(" standalone=\"yes\"");
            declaration += QStringLiteral("?>");
            break;
        case QXmlStreamReader::StartElement: {
            auto e = std::make_shared<KXmlNode>();
            e->name = r.qualifiedName().toString();
            for (const auto& ns : r.namespaceDeclarations())
                e->attributes.emplace_back(ns.prefix().isEmpty()
                                               ? QStringLiteral("xmlns")
                                               : QStringLiteral("xmlns:") + ns.prefix().toString(),
                                           ns.namespaceUri().toString());
            for (const auto& a : r.attributes())
                e->attributes.emplace_back(a.qualifiedName().toString(), a.value().toString());
            if (current == doc.get())
                sawRoot = true;
            e->parent = current;
            current->children.push_back(e);
            current = e.get();
            break;
        }
        case QXmlStreamReader::EndElement:
            current = current->parent;
            break;
        case QXmlStreamReader::Characters: {
            if (current == doc.get())
                break; // whitespace outside the root
            auto t = std::make_shared<KXmlNode>();
            t->kind = r.isCDATA() ? KXmlNode::CData : KXmlNode::Text;
            t->value = r.text().toString();
            t->parent = current;
            current->children.push_back(t);
            break;
        }
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction: {
            auto n = std::make_shared<KXmlNode>();
            const bool comment = r.tokenType() == QXmlStreamReader::Comment;
            n->kind = comment ? KXmlNode::Comment : KXmlNode::ProcessingInstruction;
            n->name = r.processingInstructionTarget().toString();
            n->value = comment ? r.text().toString() : r.processingInstructionData().toString();
            n->parent = current;
            current->children.push_back(n);
            break;
        }
        default:
            break;
        }
    }
    d->element.reset();
    if (r.hasError() || !sawRoot) {
        d->document = std::make_shared<KXmlNode>();
        d->declaration.clear();
        return false;
    }
    d->document = doc;
    d->declaration = declaration;
    return true;
}

void KXml::CreateRoot(const QString& tag) {
    d->document = std::make_shared<KXmlNode>();
    d->declaration.clear();
    d->element.reset();
    d->document->append(element(tag));
}

QString KXml::Xml() const {
    QString out;
    QXmlStreamWriter w(&out);
    for (const auto& c : d->document->children)
        write(w, *c);
    return out.isEmpty() || d->declaration.isEmpty() ? out : d->declaration + out;
}

QString KXml::ChildValue(const QString& tag) const {
    NodePtr self = d->self();
    NodePtr child = self ? self->firstChildElement(tag) : nullptr;
    return child ? child->text() : QString();
}

void KXml::SetChildValue(const QString& tag, const QString& text) {
    NodePtr self = d->self();
    if (!self)
        return;
    NodePtr child = self->firstChildElement(tag);
    if (!child) {
        self->append(element(tag, text));
        return;
    }
    child->children.clear();
    if (!text.isEmpty())
        child->append(element(QString(), text)->children.front());
}

bool KXml::HasChild(const QString& tag) const {
    NodePtr self = d->self();
    return self && self->firstChildElement(tag);
}

QString KXml::AttributeValue(const QString& name) const {
    NodePtr self = d->self();
    const QString* v = self ? self->attribute(name) : nullptr;
    return v ? *v : QString();
}

void KXml::SetAttribute(const QString& name, const QString& value) {
    if (NodePtr self = d->self())
        self->setAttribute(name, value);
}

void KXml::AddAttribute(const QString& name, const QString& value) {
    SetAttribute(name, value);
}

KXmlRef KXml::AddChild(const QString& tag, const QString& text) {
    NodePtr e = element(tag, text);
    if (NodePtr parent = d->self())
        parent->append(e);
    else
        d->document->append(e); // an empty document: the child becomes its root
    return wrap(*d, e);
}

KXmlRef KXml::ChildNode(const QString& tag) const {
    NodePtr self = d->self();
    return self ? wrap(*d, self->firstChildElement(tag)) : nullptr;
}

KXmlRef KXml::SelectNode(const QString& tag) const {
    NodePtr self = d->self();
    if (!self)
        return nullptr;
    if (!d->element && self->name == tag)
        return wrap(*d, self);
    NodePtr child = self->firstChildElement(tag);
    return wrap(*d, child ? child : firstBelow(*self, tag));
}

KXmlRef KXml::FindNode(const QString& tag) const {
    NodePtr self = d->self();
    return self ? wrap(*d, firstBelow(*self, tag)) : nullptr;
}

KXmlRef KXml::FindByAttribute(const KXmlRef& start, const QString& tag, const QString& attribute,
                              const QString& value) const {
    NodePtr from = start ? start->d->self() : d->root();
    return from ? wrap(*d, firstByAttribute(from, tag, attribute, value)) : nullptr;
}

QString KXml::Text() const {
    NodePtr self = d->self();
    return self ? self->text() : QString();
}

qint32 KXml::ChildCount() const {
    NodePtr self = d->self();
    qint32 n = 0;
    if (self)
        for (const auto& c : self->children)
            n += c->kind == KXmlNode::Element;
    return n;
}

KXmlRef KXml::ChildAt(qint32 index) const {
    NodePtr self = d->self();
    if (!self || index < 0)
        return nullptr;
    for (const auto& c : self->children)
        if (c->kind == KXmlNode::Element && index-- == 0)
            return wrap(*d, c);
    return nullptr;
}

void KXml::AppendNode(const KXmlRef& node) {
    NodePtr parent = d->self();
    if (!node || !parent)
        return;
    NodePtr e = node->d->self();
    if (!e || e == parent)
        return;
    for (KXmlNode* up = parent->parent; up; up = up->parent)
        if (up == e.get())
            return;    // an element cannot become its own descendant
    parent->append(e); // leaves its old place, in whatever document it was
    node->d->document = d->document;
    node->d->element = e;
}

void KXml::RemoveChild(const QString& tag) {
    NodePtr self = d->self();
    if (NodePtr child = self ? self->firstChildElement(tag) : nullptr)
        child->detach();
}

QString KXml::TagName() const {
    NodePtr self = d->self();
    return self ? self->name : QString();
}

} // namespace wp
