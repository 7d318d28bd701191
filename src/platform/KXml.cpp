#include "wp/KXml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <vector>

// A small element tree of our own rather than QDom: QDom keeps attributes
// in a hash, so a document written back would come out in a different
// attribute order on every run. Hosts get their XML back as they gave it.

namespace wp {

// Children own their nodes; a node knows its parent only weakly. A handle
// holds its element, so an element dropped from its document (RemoveChild,
// SetChildValue) lives on detached, with its own subtree, for as long as a
// handle to it or to anything below it exists.
struct KXmlNode : std::enable_shared_from_this<KXmlNode> {
    enum Kind { Element, Text, CData, Comment, ProcessingInstruction };
    Kind kind = Element;
    QString name;  // tag, or PI target
    QString value; // text, comment or PI data
    std::vector<std::pair<QString, QString>> attributes;
    std::vector<std::shared_ptr<KXmlNode>> children;
    std::weak_ptr<KXmlNode> parent;

    KXmlNode() = default;
    KXmlNode(const KXmlNode&) = delete;
    KXmlNode& operator=(const KXmlNode&) = delete;
    // Frees a deep subtree without recursing once per level: children that
    // nothing else holds hand their own children to the list first.
    ~KXmlNode() {
        std::vector<std::shared_ptr<KXmlNode>> pending = std::move(children);
        while (!pending.empty()) {
            std::shared_ptr<KXmlNode> n = std::move(pending.back());
            pending.pop_back();
            if (n.use_count() == 1)
                for (auto& c : n->children)
                    pending.push_back(std::move(c));
        }
    }

    std::shared_ptr<KXmlNode> firstChildElement(const QString& tag) const {
        for (const auto& c : children)
            if (c->kind == Element && c->name == tag)
                return c;
        return nullptr;
    }
    QString text() const;
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
        child->parent = weak_from_this();
        children.push_back(std::move(child));
    }
    void detach() {
        std::shared_ptr<KXmlNode> p = parent.lock();
        parent.reset();
        if (!p)
            return;
        auto& siblings = p->children;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (it->get() == this) {
                siblings.erase(it);
                break;
            }
    }
};

namespace {
using NodePtr = std::shared_ptr<KXmlNode>;

// Deeper documents are refused when loaded, like malformed ones.
constexpr int MaxLoadDepth = 1000;

NodePtr element(const QString& tag, const QString& text = QString()) {
    auto e = std::make_shared<KXmlNode>();
    e->name = tag;
    if (!text.isEmpty()) {
        auto t = std::make_shared<KXmlNode>();
        t->kind = KXmlNode::Text;
        t->value = text;
        e->append(t);
    }
    return e;
}

// Walks the subtree below `from` in document order without recursion (trees
// built through handles have no depth limit). `visit` returns true to stop;
// `enter` decides whether to descend into a node.
template <class Visit, class Enter> void walkBelow(const KXmlNode& from, Visit visit, Enter enter) {
    using It = std::vector<NodePtr>::const_iterator;
    std::vector<std::pair<It, It>> stack{{from.children.begin(), from.children.end()}};
    while (!stack.empty()) {
        auto& [it, end] = stack.back();
        if (it == end) {
            stack.pop_back();
            continue;
        }
        const NodePtr& n = *it++;
        if (visit(n))
            return;
        if (enter(*n) && !n->children.empty())
            stack.emplace_back(n->children.begin(), n->children.end());
    }
}

bool isElement(const KXmlNode& n) {
    return n.kind == KXmlNode::Element;
}

NodePtr firstBelow(const KXmlNode& from, const QString& tag) {
    NodePtr hit;
    walkBelow(
        from,
        [&](const NodePtr& n) {
            if (n->kind == KXmlNode::Element && n->name == tag)
                hit = n;
            return bool(hit);
        },
        isElement);
    return hit;
}

NodePtr firstByAttribute(const NodePtr& from, const QString& tag, const QString& attribute,
                         const QString& value) {
    auto matches = [&](const NodePtr& n) {
        if (n->kind != KXmlNode::Element || n->name != tag)
            return false;
        const QString* v = n->attribute(attribute);
        return v && *v == value;
    };
    if (from->kind != KXmlNode::Element)
        return nullptr;
    if (matches(from))
        return from;
    NodePtr hit;
    walkBelow(
        *from,
        [&](const NodePtr& n) {
            if (matches(n))
                hit = n;
            return bool(hit);
        },
        isElement);
    return hit;
}

void writeLeaf(QXmlStreamWriter& w, const KXmlNode& n) {
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
        return;
    }
}

// Writes the nodes in order, with an explicit stack of open elements.
void write(QXmlStreamWriter& w, const std::vector<NodePtr>& nodes) {
    using It = std::vector<NodePtr>::const_iterator;
    std::vector<std::pair<It, It>> stack{{nodes.begin(), nodes.end()}};
    while (!stack.empty()) {
        auto& [it, end] = stack.back();
        if (it == end) {
            stack.pop_back();
            if (!stack.empty())
                w.writeEndElement();
            continue;
        }
        const KXmlNode& n = **it++;
        if (n.kind != KXmlNode::Element) {
            writeLeaf(w, n);
            continue;
        }
        w.writeStartElement(n.name); // an element closed at once is written as <name/>
        for (const auto& [k, v] : n.attributes)
            w.writeAttribute(k, v);
        stack.emplace_back(n.children.begin(), n.children.end());
    }
}
} // namespace

QString KXmlNode::text() const {
    if (kind == Text || kind == CData)
        return value;
    QString out;
    if (kind == Element)
        walkBelow(
            *this,
            [&](const NodePtr& n) {
                if (n->kind == Text || n->kind == CData)
                    out += n->value;
                return false;
            },
            isElement);
    return out;
}

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
    NodePtr current = doc;
    bool sawRoot = false;
    int depth = 0;
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
            if (++depth > MaxLoadDepth) {
                r.raiseError(QStringLiteral("elements nested too deeply"));
                break;
            }
            auto e = std::make_shared<KXmlNode>();
            e->name = r.qualifiedName().toString();
            for (const auto& ns : r.namespaceDeclarations())
                e->attributes.emplace_back(ns.prefix().isEmpty()
                                               ? QStringLiteral("xmlns")
                                               : QStringLiteral("xmlns:") + ns.prefix().toString(),
                                           ns.namespaceUri().toString());
            for (const auto& a : r.attributes())
                e->attributes.emplace_back(a.qualifiedName().toString(), a.value().toString());
            if (current == doc)
                sawRoot = true;
            current->append(e);
            current = e;
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            current = current->parent.lock();
            break;
        case QXmlStreamReader::Characters: {
            if (current == doc)
                break; // whitespace outside the root
            auto t = std::make_shared<KXmlNode>();
            t->kind = r.isCDATA() ? KXmlNode::CData : KXmlNode::Text;
            t->value = r.text().toString();
            current->append(t);
            break;
        }
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction: {
            auto n = std::make_shared<KXmlNode>();
            const bool comment = r.tokenType() == QXmlStreamReader::Comment;
            n->kind = comment ? KXmlNode::Comment : KXmlNode::ProcessingInstruction;
            n->name = r.processingInstructionTarget().toString();
            n->value = comment ? r.text().toString() : r.processingInstructionData().toString();
            current->append(n);
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
    write(w, d->document->children);
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
    for (NodePtr up = parent->parent.lock(); up; up = up->parent.lock())
        if (up == e)
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
