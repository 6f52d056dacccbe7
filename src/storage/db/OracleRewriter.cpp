#include "storage/db/OracleRewriter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "platform/Text.h"

namespace db {

using sql::Node;
using sql::NodeList;
using sql::Token;

namespace {

bool IsAnyWord(const Node& node, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (node.IsWord(w)) {
            return true;
        }
    }
    return false;
}

bool IsReserved(const Node& node) {
    return IsAnyWord(node, {"AND",  "OR",   "NOT",  "IN",  "IS",     "LIKE",   "BETWEEN", "CASE",
                            "WHEN", "THEN", "ELSE", "END", "EXISTS", "SELECT", "FROM",    "WHERE",
                            "ON",   "AS",   "ANY",  "ALL", "SOME",   "PRIOR"});
}

// Splits a list at top-level separators; the separators themselves are dropped.
std::vector<NodeList> SplitAt(const NodeList& nodes, const std::function<bool(const Node&)>& isSeparator) {
    std::vector<NodeList> parts(1);
    for (const Node& node : nodes) {
        if (isSeparator(node)) {
            parts.emplace_back();
        } else {
            parts.back().push_back(node);
        }
    }
    return parts;
}

std::vector<NodeList> SplitCommas(const NodeList& nodes) {
    return SplitAt(nodes, [](const Node& n) { return n.IsSymbol(","); });
}

// The AND-joined conditions of a WHERE clause (the AND of a BETWEEN does not split).
std::vector<NodeList> SplitConjuncts(const NodeList& nodes) {
    std::vector<NodeList> parts(1);
    int pendingBetween = 0;
    for (const Node& node : nodes) {
        if (node.IsWord("BETWEEN")) {
            ++pendingBetween;
        }
        if (node.IsWord("AND")) {
            if (pendingBetween > 0) {
                --pendingBetween;
            } else {
                parts.emplace_back();
                continue;
            }
        }
        parts.back().push_back(node);
    }
    return parts;
}

// The parts one after the other with the separator between them; every part after a separator
// starts with a blank.
NodeList JoinWith(const std::vector<NodeList>& parts, const Token& separator) {
    NodeList out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            out.push_back(Node::Of(separator));
        }
        NodeList part = parts[i];
        if (i > 0 || separator.kind == Token::Kind::Identifier) {
            sql::EnsureSpace(part);
        }
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

bool HasMarker(const NodeList& nodes) {
    for (const Node& node : nodes) {
        if (node.IsOuterJoinMarker() || (node.isGroup && HasMarker(node.children))) {
            return true;
        }
    }
    return false;
}

bool HasTopLevelWord(const NodeList& nodes, const char* word) {
    return std::any_of(nodes.begin(), nodes.end(), [word](const Node& n) { return n.IsWord(word); });
}

// A condition written as one parenthesised AND chain is the same as its parts.
std::vector<NodeList> Flatten(const NodeList& conjunct) {
    if (conjunct.size() == 1 && conjunct[0].isGroup && !conjunct[0].IsOuterJoinMarker() &&
        !HasTopLevelWord(conjunct[0].children, "OR") && !HasTopLevelWord(conjunct[0].children, "SELECT")) {
        std::vector<NodeList> inner = SplitConjuncts(conjunct[0].children);
        if (inner.size() > 1) {
            std::vector<NodeList> out;
            for (const NodeList& part : inner) {
                for (NodeList& p : Flatten(part)) {
                    out.push_back(std::move(p));
                }
            }
            return out;
        }
    }
    return {conjunct};
}

struct ColumnRef {
    std::string qualifier;
    std::string column;
};

// Removes the (+) markers and reports the columns they stood after.
void TakeMarkers(NodeList& nodes, std::vector<ColumnRef>& refs) {
    for (size_t i = 0; i < nodes.size();) {
        if (nodes[i].IsOuterJoinMarker()) {
            ColumnRef ref;
            if (i >= 1 && nodes[i - 1].IsIdentifier()) {
                ref.column = nodes[i - 1].Name();
                if (i >= 3 && nodes[i - 2].IsSymbol(".") && nodes[i - 3].IsIdentifier()) {
                    ref.qualifier = nodes[i - 3].Name();
                }
            }
            refs.push_back(ref);
            nodes.erase(nodes.begin() + static_cast<long>(i));
            continue;
        }
        if (nodes[i].isGroup) {
            TakeMarkers(nodes[i].children, refs);
        }
        ++i;
    }
}

// Every column name of a condition, with its qualifier when it has one.
void CollectRefs(const NodeList& nodes, std::vector<ColumnRef>& refs) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& node = nodes[i];
        if (node.isGroup) {
            CollectRefs(node.children, refs);
            continue;
        }
        if (!node.IsIdentifier() || IsReserved(node)) {
            continue;
        }
        if (i + 1 < nodes.size() && (nodes[i + 1].IsSymbol(".") || nodes[i + 1].isGroup)) {
            continue;  // a qualifier or a function name
        }
        ColumnRef ref;
        ref.column = node.Name();
        if (i >= 2 && nodes[i - 1].IsSymbol(".") && nodes[i - 2].IsIdentifier()) {
            ref.qualifier = nodes[i - 2].Name();
        }
        refs.push_back(ref);
    }
}

// Names of the columns a select list gives: the alias, or the column's own name.
std::vector<std::string> SelectNames(const NodeList& items) {
    std::vector<std::string> names;
    for (const NodeList& item : SplitCommas(items)) {
        std::string name;
        if (!item.empty() && item.back().IsIdentifier()) {
            name = item.back().Name();
        }
        names.push_back(name);
    }
    return names;
}

// The parts of one SELECT.
struct Block {
    NodeList head;  // SELECT and DISTINCT, or whatever comes before the column list
    NodeList columns;
    Token fromWord;
    bool hasFrom = false;
    NodeList from;
    Token whereWord;
    bool hasWhere = false;
    NodeList where;
    NodeList middle;  // GROUP BY, HAVING, CONNECT BY
    Token orderWord;
    Token byWord;
    bool hasOrder = false;
    NodeList order;
    NodeList rest;  // FOR UPDATE and the like

    static Block Parse(const NodeList& nodes) {
        Block b;
        enum Part { Head, Columns, From, Where, Middle, Order, Rest } part = Head;
        for (size_t i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            if (part == Head) {
                b.head.push_back(n);
                bool more = i + 1 < nodes.size() && IsAnyWord(nodes[i + 1], {"DISTINCT", "UNIQUE", "ALL"});
                if (!more) {
                    part = Columns;
                }
                continue;
            }
            if (part < From && n.IsWord("FROM")) {
                b.fromWord = n.token;
                b.hasFrom = true;
                part = From;
                continue;
            }
            if (part < Where && part >= From && n.IsWord("WHERE")) {
                b.whereWord = n.token;
                b.hasWhere = true;
                part = Where;
                continue;
            }
            if (part < Middle && part >= From && IsAnyWord(n, {"GROUP", "HAVING", "CONNECT", "START"})) {
                part = Middle;
            }
            if (part < Order && n.IsWord("ORDER") && i + 1 < nodes.size() && nodes[i + 1].IsWord("BY")) {
                b.orderWord = n.token;
                b.byWord = nodes[i + 1].token;
                b.hasOrder = true;
                ++i;
                part = Order;
                continue;
            }
            if (part >= From && IsAnyWord(n, {"FOR", "LIMIT"})) {
                part = Rest;
            }
            switch (part) {
                case Head:
                case Columns:
                    b.columns.push_back(n);
                    break;
                case From:
                    b.from.push_back(n);
                    break;
                case Where:
                    b.where.push_back(n);
                    break;
                case Middle:
                    b.middle.push_back(n);
                    break;
                case Order:
                    b.order.push_back(n);
                    break;
                case Rest:
                    b.rest.push_back(n);
                    break;
            }
        }
        return b;
    }

    NodeList Render() const {
        NodeList out = head;
        out.insert(out.end(), columns.begin(), columns.end());
        if (hasFrom) {
            out.push_back(Node::Of(fromWord));
            out.insert(out.end(), from.begin(), from.end());
        }
        if (hasWhere && !where.empty()) {
            out.push_back(Node::Of(whereWord));
            out.insert(out.end(), where.begin(), where.end());
        }
        out.insert(out.end(), middle.begin(), middle.end());
        if (hasOrder) {
            out.push_back(Node::Of(orderWord));
            out.push_back(Node::Of(byWord));
            out.insert(out.end(), order.begin(), order.end());
        }
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }
};

struct FromItem {
    NodeList nodes;
    std::string schema;
    std::string table;
    std::string refName;
    // A sub-select in the FROM list: its group is the first of nodes.
    bool derived = false;
    bool columnsLoaded = false;
    std::vector<std::string> columns;
    bool outer = false;
    std::vector<NodeList> on;
    std::set<size_t> dependsOn;
};

bool ParseFromItem(const NodeList& nodes, FromItem& item, std::string& error) {
    item.nodes = nodes;
    for (const Node& n : nodes) {
        if (IsAnyWord(n, {"JOIN", "ON", "USING"})) {
            error = "outer-join operator (+) is not allowed together with ANSI joins";
            return false;
        }
    }
    size_t i = 0;
    if (i < nodes.size() && nodes[i].isGroup) {
        item.derived = true;
        ++i;
    } else if (i < nodes.size() && nodes[i].IsIdentifier()) {
        item.table = nodes[i].Name();
        ++i;
        while (i + 1 < nodes.size() && nodes[i].IsSymbol(".") && nodes[i + 1].IsIdentifier()) {
            item.schema = item.table;
            item.table = nodes[i + 1].Name();
            i += 2;
        }
        item.refName = item.table;
    } else {
        error = "cannot read the FROM list: " + sql::Render(nodes);
        return false;
    }
    if (i < nodes.size() && nodes[i].IsWord("AS")) {
        ++i;
    }
    if (i < nodes.size() && nodes[i].IsIdentifier()) {
        item.refName = nodes[i].Name();
        ++i;
    }
    if (i != nodes.size()) {
        error = "cannot read the FROM list: " + sql::Render(nodes);
        return false;
    }
    return true;
}

// A rownum condition: "rownum = 1", "rownum < 10", "10 >= rownum" and the like.
bool ReadRownum(NodeList conjunct, bool& limited, long long& limit) {
    while (conjunct.size() == 1 && conjunct[0].isGroup && !conjunct[0].IsOuterJoinMarker()) {
        NodeList inner = conjunct[0].children;
        conjunct = inner;
    }
    if (conjunct.size() != 3) {
        return false;
    }
    bool left =
        conjunct[0].IsWord("ROWNUM") && conjunct[2].token.kind == Token::Kind::Number && !conjunct[2].isGroup;
    bool right =
        conjunct[2].IsWord("ROWNUM") && conjunct[0].token.kind == Token::Kind::Number && !conjunct[0].isGroup;
    if (!left && !right) {
        return false;
    }
    std::string op = conjunct[1].token.text;
    if (right) {
        // "10 >= rownum" is "rownum <= 10".
        if (op == "<") {
            op = ">";
        } else if (op == ">") {
            op = "<";
        } else if (op == "<=") {
            op = ">=";
        } else if (op == ">=") {
            op = "<=";
        }
    }
    double n = std::strtod((left ? conjunct[2] : conjunct[0]).token.text.c_str(), nullptr);
    limited = true;
    if (op == "=") {
        limit = n == 1 ? 1 : 0;
    } else if (op == "<") {
        limit = static_cast<long long>(std::ceil(n)) - 1;
    } else if (op == "<=") {
        limit = static_cast<long long>(std::floor(n));
    } else if (op == ">" || op == ">=") {
        // rownum starts at 1 and only grows when a row is taken: "> 0" and ">= 1" take all.
        bool all = op == ">" ? n < 1 : n <= 1;
        limited = !all;
        limit = 0;
    } else if (op == "!=" || op == "<>" || op == "^=") {
        limit = static_cast<long long>(std::floor(n)) - 1;
        if (n < 1 || n != std::floor(n)) {
            limited = false;
        }
    } else {
        return false;
    }
    limit = std::max(limit, 0LL);
    return true;
}

bool IsOperand(const Node& node) {
    if (node.isGroup) {
        return !node.IsOuterJoinMarker();
    }
    switch (node.token.kind) {
        case Token::Kind::Number:
        case Token::Kind::String:
        case Token::Kind::QuotedIdentifier:
            return true;
        case Token::Kind::Identifier:
            return !IsReserved(node) || node.IsWord("NULL");
        default:
            return false;
    }
}

// Start of the operand that ends at node end (a literal, a column, a function call, a group).
bool OperandStart(const NodeList& nodes, size_t end, size_t& start) {
    if (!IsOperand(nodes[end])) {
        return false;
    }
    start = end;
    if (nodes[end].isGroup) {
        if (start >= 1 && nodes[start - 1].IsIdentifier() && !IsReserved(nodes[start - 1])) {
            --start;
        }
    }
    while (start >= 2 && nodes[start - 1].IsSymbol(".") && nodes[start - 2].IsIdentifier()) {
        start -= 2;
    }
    return true;
}

bool OperandEnd(const NodeList& nodes, size_t start, size_t& end) {
    if (start >= nodes.size() || !IsOperand(nodes[start])) {
        return false;
    }
    end = start;
    if (nodes[start].isGroup) {
        return true;
    }
    while (end + 2 < nodes.size() && nodes[end + 1].IsSymbol(".") && nodes[end + 2].IsIdentifier()) {
        end += 2;
    }
    if (nodes[end].IsIdentifier() && end + 1 < nodes.size() && nodes[end + 1].isGroup &&
        !nodes[end + 1].IsOuterJoinMarker()) {
        ++end;
    }
    return true;
}

}  // namespace

void OracleRewriter::SetLocalSchemas(std::vector<std::string> schemas) {
    localSchemas.clear();
    for (const std::string& s : schemas) {
        localSchemas.push_back(text::ToLower(s));
    }
}

bool OracleRewriter::Rewrite(const std::string& oracle, std::string& sqlite, std::string& error) {
    std::vector<Token> tokens;
    std::string trailing;
    if (!sql::Tokenize(oracle, tokens, trailing, error)) {
        return false;
    }
    NodeList nodes;
    if (!sql::BuildTree(tokens, nodes, error) || !RewriteTokens(nodes, error) || !RewriteList(nodes, error)) {
        return false;
    }
    sqlite = sql::Render(nodes) + trailing;
    return true;
}

bool OracleRewriter::RewriteTokens(NodeList& nodes, std::string& error) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        Node& node = nodes[i];
        if (node.isGroup) {
            if (!RewriteTokens(node.children, error)) {
                return false;
            }
            continue;
        }
        bool qualified = i >= 1 && nodes[i - 1].IsSymbol(".");
        bool qualifies = i + 1 < nodes.size() && nodes[i + 1].IsSymbol(".");
        if (node.IsIdentifier() && qualifies && !qualified && i + 2 < nodes.size() &&
            nodes[i + 2].IsIdentifier() &&
            std::find(localSchemas.begin(), localSchemas.end(), node.Name()) != localSchemas.end()) {
            nodes[i + 2].token.space = node.token.space;
            nodes.erase(nodes.begin() + static_cast<long>(i), nodes.begin() + static_cast<long>(i) + 2);
            --i;
            continue;
        }
        if ((node.IsWord("SYSDATE") || node.IsWord("SYSTIMESTAMP")) && !qualified && !qualifies &&
            !(i + 1 < nodes.size() && nodes[i + 1].isGroup)) {
            node.token.text = text::ToLower(node.token.text);
            nodes.insert(nodes.begin() + static_cast<long>(i) + 1, Node::Group({}));
            ++i;
        } else if (node.IsWord("MINUS")) {
            node.token.text = "EXCEPT";
        } else if (node.token.kind == Token::Kind::String && node.token.text == "''") {
            node.token = Token::Word("NULL", node.token.space);
        } else if (node.IsSymbol("^=")) {
            node.token.text = "!=";
        } else if (node.IsWord("IN") && i + 1 < nodes.size() && nodes[i + 1].isGroup &&
                   nodes[i + 1].children.empty()) {
            error = "missing expression: empty list after IN";
            return false;
        }
    }
    return true;
}

bool OracleRewriter::RewriteList(NodeList& nodes, std::string& error) {
    for (Node& node : nodes) {
        if (node.isGroup && !RewriteList(node.children, error)) {
            return false;
        }
    }
    RewriteConcatenation(nodes);
    return RewriteQuery(nodes, error);
}

void OracleRewriter::RewriteConcatenation(NodeList& nodes) {
    for (size_t i = 1; i + 1 < nodes.size(); ++i) {
        if (!nodes[i].IsSymbol("||")) {
            continue;
        }
        size_t start = 0;
        if (!OperandStart(nodes, i - 1, start)) {
            continue;
        }
        std::vector<NodeList> operands{
            NodeList(nodes.begin() + static_cast<long>(start), nodes.begin() + static_cast<long>(i))};
        size_t at = i;
        size_t end = i;
        bool ok = true;
        while (at < nodes.size() && nodes[at].IsSymbol("||")) {
            size_t last = 0;
            if (!OperandEnd(nodes, at + 1, last)) {
                ok = false;
                break;
            }
            operands.emplace_back(nodes.begin() + static_cast<long>(at) + 1,
                                  nodes.begin() + static_cast<long>(last) + 1);
            end = last;
            at = last + 1;
        }
        if (!ok) {
            continue;
        }
        std::string space = nodes[start].token.space;
        operands.front().front().token.space.clear();
        Node call = Node::Group(JoinWith(operands, Token::Symbol(",")), "");
        nodes.erase(nodes.begin() + static_cast<long>(start), nodes.begin() + static_cast<long>(end) + 1);
        nodes.insert(nodes.begin() + static_cast<long>(start), call);
        nodes.insert(nodes.begin() + static_cast<long>(start), Node::Of(Token::Word("oracle_concat", space)));
        i = start + 1;
    }
}

bool OracleRewriter::RewriteQuery(NodeList& nodes, std::string& error) {
    size_t start = 0;
    while (start < nodes.size() && !nodes[start].IsWord("SELECT")) {
        ++start;
    }
    if (start == nodes.size()) {
        return true;
    }
    // Every SELECT of a compound query is a block of its own.
    NodeList out(nodes.begin(), nodes.begin() + static_cast<long>(start));
    NodeList block;
    auto flush = [&]() {
        if (!RewriteBlock(block, error)) {
            return false;
        }
        out.insert(out.end(), block.begin(), block.end());
        block.clear();
        return true;
    };
    for (size_t i = start; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        if (IsAnyWord(n, {"UNION", "INTERSECT", "EXCEPT"})) {
            if (!flush()) {
                return false;
            }
            out.push_back(n);
            if (i + 1 < nodes.size() && nodes[i + 1].IsWord("ALL")) {
                out.push_back(nodes[++i]);
            }
            continue;
        }
        block.push_back(n);
    }
    if (!flush()) {
        return false;
    }
    nodes = std::move(out);
    return true;
}

bool OracleRewriter::RewriteBlock(NodeList& nodes, std::string& error) {
    if (nodes.empty() || !nodes.front().IsWord("SELECT")) {
        return true;
    }
    Block b = Block::Parse(nodes);
    std::vector<NodeList> conjuncts;
    if (b.hasWhere) {
        for (const NodeList& c : SplitConjuncts(b.where)) {
            for (NodeList& part : HasMarker(c) ? Flatten(c) : std::vector<NodeList>{c}) {
                conjuncts.push_back(std::move(part));
            }
        }
    }

    // Outer joins.
    bool anyMarker =
        std::any_of(conjuncts.begin(), conjuncts.end(), [](const NodeList& c) { return HasMarker(c); });
    if (anyMarker) {
        std::vector<FromItem> items;
        for (const NodeList& part : SplitCommas(b.from)) {
            FromItem item;
            if (!ParseFromItem(part, item, error)) {
                return false;
            }
            items.push_back(std::move(item));
        }
        auto columnsOf = [&](FromItem& item) -> const std::vector<std::string>& {
            if (!item.columnsLoaded) {
                item.columnsLoaded = true;
                if (item.derived) {
                    Block inner = Block::Parse(item.nodes.front().children);
                    item.columns = SelectNames(inner.columns);
                } else if (columnLookup) {
                    columnLookup(item.schema, item.table, item.columns);
                }
            }
            return item.columns;
        };
        // Index of the FROM item a column belongs to; -1 when it is none of them.
        auto resolve = [&](const ColumnRef& ref, long& index) {
            index = -1;
            if (!ref.qualifier.empty()) {
                for (size_t k = 0; k < items.size(); ++k) {
                    if (items[k].refName == ref.qualifier) {
                        index = static_cast<long>(k);
                        return true;
                    }
                }
                return true;
            }
            for (size_t k = 0; k < items.size(); ++k) {
                const std::vector<std::string>& cols = columnsOf(items[k]);
                if (std::find(cols.begin(), cols.end(), ref.column) != cols.end()) {
                    if (index >= 0) {
                        error = "column ambiguously defined: " + ref.column;
                        return false;
                    }
                    index = static_cast<long>(k);
                }
            }
            return true;
        };

        std::vector<NodeList> remaining;
        for (NodeList& c : conjuncts) {
            if (!HasMarker(c)) {
                remaining.push_back(std::move(c));
                continue;
            }
            std::vector<ColumnRef> marked;
            TakeMarkers(c, marked);
            long target = -1;
            for (const ColumnRef& ref : marked) {
                long index = -1;
                if (ref.column.empty()) {
                    error = "(+) must follow a column: " + sql::Render(c);
                    return false;
                }
                if (!resolve(ref, index)) {
                    return false;
                }
                if (index < 0) {
                    error = "outer-joined column of no table in the FROM list: " + ref.column;
                    return false;
                }
                if (target >= 0 && target != index) {
                    error = "a predicate may reference only one outer-joined table: " + sql::Render(c);
                    return false;
                }
                target = index;
            }
            FromItem& item = items[static_cast<size_t>(target)];
            item.outer = true;
            std::vector<ColumnRef> refs;
            CollectRefs(c, refs);
            for (const ColumnRef& ref : refs) {
                long index = -1;
                if (!resolve(ref, index)) {
                    return false;
                }
                if (index >= 0 && index != target) {
                    item.dependsOn.insert(static_cast<size_t>(index));
                }
            }
            item.on.push_back(std::move(c));
        }

        // Outer tables that the WHERE clause tests (by their qualified columns): joined first, a
        // row that the test rejects is not joined to the other outer tables at all. Each outer
        // table is joined on its own ON clause, so their order changes no result.
        std::set<size_t> tested;
        for (const NodeList& c : remaining) {
            std::vector<ColumnRef> refs;
            CollectRefs(c, refs);
            for (const ColumnRef& ref : refs) {
                for (size_t k = 0; k < items.size(); ++k) {
                    if (!ref.qualifier.empty() && items[k].outer && items[k].refName == ref.qualifier) {
                        tested.insert(k);
                    }
                }
            }
        }
        // Inner tables first, in their order, then every outer table after the tables its ON
        // clause names, the tested ones as early as they can be.
        std::vector<size_t> order;
        std::set<size_t> placed;
        for (size_t k = 0; k < items.size(); ++k) {
            if (!items[k].outer) {
                order.push_back(k);
                placed.insert(k);
            }
        }
        if (order.empty()) {
            error = "two tables cannot be outer-joined to each other";
            return false;
        }
        while (order.size() < items.size()) {
            size_t next = items.size();
            for (size_t k = 0; k < items.size(); ++k) {
                if (placed.count(k) || !std::includes(placed.begin(), placed.end(),
                                                      items[k].dependsOn.begin(), items[k].dependsOn.end())) {
                    continue;
                }
                if (next == items.size() || (tested.count(k) && !tested.count(next))) {
                    next = k;
                }
            }
            if (next == items.size()) {
                error = "two tables cannot be outer-joined to each other";
                return false;
            }
            order.push_back(next);
            placed.insert(next);
        }
        NodeList from;
        bool first = true;
        for (size_t k : order) {
            FromItem& item = items[k];
            sql::EnsureSpace(item.nodes);
            if (!item.outer) {
                if (!first) {
                    from.push_back(Node::Of(Token::Symbol(",")));
                }
                from.insert(from.end(), item.nodes.begin(), item.nodes.end());
            } else {
                from.push_back(Node::Of(Token::Word("LEFT")));
                from.push_back(Node::Of(Token::Word("JOIN")));
                from.insert(from.end(), item.nodes.begin(), item.nodes.end());
                from.push_back(Node::Of(Token::Word("ON")));
                std::vector<NodeList> conditions;
                for (NodeList& c : item.on) {
                    bool single = c.size() == 1 && c[0].isGroup;
                    conditions.push_back(single ? c : NodeList{Node::Group(c, " ")});
                }
                NodeList joined = JoinWith(conditions, Token::Word("AND"));
                from.insert(from.end(), joined.begin(), joined.end());
            }
            first = false;
        }
        b.from = from;
        conjuncts = std::move(remaining);
    }

    // rownum conditions.
    bool limited = false;
    long long limit = 0;
    std::vector<NodeList> kept;
    for (NodeList& c : conjuncts) {
        bool thisLimited = false;
        long long thisLimit = 0;
        if (ReadRownum(c, thisLimited, thisLimit)) {
            if (thisLimited) {
                limit = limited ? std::min(limit, thisLimit) : thisLimit;
                limited = true;
            }
            continue;
        }
        kept.push_back(std::move(c));
    }
    if (b.hasWhere) {
        b.where = JoinWith(kept, Token::Word("and"));
    }

    // Oracle sorts NULLs as the highest values.
    std::vector<NodeList> terms;
    if (b.hasOrder) {
        terms = SplitCommas(b.order);
        for (NodeList& term : terms) {
            bool hasNulls =
                std::any_of(term.begin(), term.end(), [](const Node& n) { return n.IsWord("NULLS"); });
            if (!hasNulls && !term.empty()) {
                bool descending = term.back().IsWord("DESC");
                term.push_back(Node::Of(Token::Word("NULLS")));
                term.push_back(Node::Of(Token::Word(descending ? "FIRST" : "LAST")));
            }
        }
        b.order = JoinWith(terms, Token::Symbol(","));
        sql::EnsureSpace(b.order);
    }

    if (!limited) {
        nodes = b.Render();
        return true;
    }
    NodeList limitNodes{Node::Of(Token::Word("LIMIT")), Node::Of(Token::Word(std::to_string(limit)))};
    std::vector<NodeList> columns = SplitCommas(b.columns);
    bool plainColumns = b.hasOrder && b.middle.empty() &&
                        std::none_of(columns.begin(), columns.end(),
                                     [](const NodeList& c) { return c.empty() || c.back().IsSymbol("*"); });
    if (!plainColumns) {
        // Without ORDER BY the limit simply ends the query.
        nodes = b.Render();
        nodes.insert(nodes.end(), limitNodes.begin(), limitNodes.end());
        return true;
    }
    // rownum is counted before ORDER BY: take the rows first, sort them afterwards.
    std::vector<std::string> names = SelectNames(b.columns);
    NodeList innerColumns;
    for (size_t k = 0; k < columns.size(); ++k) {
        if (k > 0) {
            innerColumns.push_back(Node::Of(Token::Symbol(",")));
        }
        NodeList column = columns[k];
        sql::EnsureSpace(column);
        innerColumns.insert(innerColumns.end(), column.begin(), column.end());
        innerColumns.push_back(Node::Of(Token::Word("AS")));
        innerColumns.push_back(Node::Of(Token::Word("__c" + std::to_string(k + 1))));
    }
    NodeList outerOrder;
    int extra = 0;
    for (size_t k = 0; k < terms.size(); ++k) {
        NodeList term = terms[k];
        NodeList suffix;
        while (!term.empty() && IsAnyWord(term.back(), {"ASC", "DESC", "NULLS", "FIRST", "LAST"})) {
            suffix.insert(suffix.begin(), term.back());
            term.pop_back();
        }
        std::string target;
        if (term.size() == 1 && term[0].token.kind == Token::Kind::Number) {
            target = "__c" + term[0].token.text;
        } else if (term.size() == 1 && term[0].IsIdentifier()) {
            auto it = std::find(names.begin(), names.end(), term[0].Name());
            if (it != names.end()) {
                target = "__c" + std::to_string(it - names.begin() + 1);
            }
        }
        if (target.empty()) {
            target = "__o" + std::to_string(++extra);
            innerColumns.push_back(Node::Of(Token::Symbol(",")));
            sql::EnsureSpace(term);
            innerColumns.insert(innerColumns.end(), term.begin(), term.end());
            innerColumns.push_back(Node::Of(Token::Word("AS")));
            innerColumns.push_back(Node::Of(Token::Word(target)));
        }
        if (k > 0) {
            outerOrder.push_back(Node::Of(Token::Symbol(",")));
        }
        outerOrder.push_back(Node::Of(Token::Word(target)));
        outerOrder.insert(outerOrder.end(), suffix.begin(), suffix.end());
    }
    Block inner = b;
    inner.columns = innerColumns;
    inner.hasOrder = false;
    inner.order.clear();
    NodeList innerNodes = inner.Render();
    innerNodes.insert(innerNodes.end(), limitNodes.begin(), limitNodes.end());
    // OFFSET keeps SQLite from merging the limited rows into the sorting query.
    innerNodes.push_back(Node::Of(Token::Word("OFFSET")));
    innerNodes.push_back(Node::Of(Token::Word("0")));
    NodeList result{Node::Of(Token::Word("SELECT", nodes.front().token.space))};
    for (size_t k = 0; k < columns.size(); ++k) {
        if (k > 0) {
            result.push_back(Node::Of(Token::Symbol(",")));
        }
        result.push_back(Node::Of(Token::Word("__c" + std::to_string(k + 1))));
    }
    result.push_back(Node::Of(Token::Word("FROM")));
    innerNodes.front().token.space.clear();
    result.push_back(Node::Group(innerNodes, " "));
    result.push_back(Node::Of(Token::Word("ORDER")));
    result.push_back(Node::Of(Token::Word("BY")));
    result.insert(result.end(), outerOrder.begin(), outerOrder.end());
    nodes = std::move(result);
    return true;
}

}  // namespace db
