#include "storage/db/SqlTokens.h"

#include <cctype>

#include "platform/Text.h"

namespace db::sql {

namespace {

bool IsIdentifierStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool IsIdentifierChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

}  // namespace

Node Node::Group(std::vector<Node> children, const std::string& space) {
    Node node;
    node.isGroup = true;
    node.token = Token{Token::Kind::Open, "(", space};
    node.close = Token{Token::Kind::Close, ")", ""};
    node.children = std::move(children);
    return node;
}

bool Node::IsWord(const char* word) const {
    return !isGroup && token.kind == Token::Kind::Identifier && text::EqualsNoCase(token.text, word);
}

bool Node::IsSymbol(const char* symbol) const {
    return !isGroup && token.kind == Token::Kind::Operator && token.text == symbol;
}

bool Node::IsOuterJoinMarker() const {
    return isGroup && children.size() == 1 && children[0].IsSymbol("+");
}

std::string Node::Name() const {
    if (token.kind == Token::Kind::QuotedIdentifier) {
        return token.text.substr(1, token.text.size() - 2);
    }
    return text::ToLower(token.text);
}

bool Tokenize(const std::string& sql, std::vector<Token>& tokens, std::string& trailingSpace,
              std::string& error) {
    std::string space;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(sql[i]);
        if (std::isspace(c)) {
            space += sql[i++];
            continue;
        }
        if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            size_t end = sql.find('\n', i);
            end = end == std::string::npos ? n : end;
            space += sql.substr(i, end - i);
            i = end;
            continue;
        }
        if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            if (end == std::string::npos) {
                error = "unterminated comment";
                return false;
            }
            space += sql.substr(i, end + 2 - i);
            i = end + 2;
            continue;
        }
        Token token;
        token.space = std::move(space);
        space.clear();
        size_t start = i;
        if (c == '\'') {
            ++i;
            while (true) {
                if (i >= n) {
                    error = "quoted string not properly terminated";
                    return false;
                }
                if (sql[i] == '\'') {
                    if (i + 1 < n && sql[i + 1] == '\'') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            token.kind = Token::Kind::String;
        } else if (c == '"') {
            size_t end = sql.find('"', i + 1);
            if (end == std::string::npos) {
                error = "quoted identifier not properly terminated";
                return false;
            }
            i = end + 1;
            token.kind = Token::Kind::QuotedIdentifier;
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < n && std::isdigit(static_cast<unsigned char>(sql[i + 1])))) {
            while (i < n && (std::isdigit(static_cast<unsigned char>(sql[i])) || sql[i] == '.')) {
                ++i;
            }
            if (i < n && (sql[i] == 'e' || sql[i] == 'E')) {
                size_t j = i + 1;
                if (j < n && (sql[j] == '+' || sql[j] == '-')) {
                    ++j;
                }
                if (j < n && std::isdigit(static_cast<unsigned char>(sql[j]))) {
                    i = j;
                    while (i < n && std::isdigit(static_cast<unsigned char>(sql[i]))) {
                        ++i;
                    }
                }
            }
            token.kind = Token::Kind::Number;
        } else if (IsIdentifierStart(c)) {
            while (i < n && IsIdentifierChar(static_cast<unsigned char>(sql[i]))) {
                ++i;
            }
            token.kind = Token::Kind::Identifier;
        } else if (c == '(') {
            ++i;
            token.kind = Token::Kind::Open;
        } else if (c == ')') {
            ++i;
            token.kind = Token::Kind::Close;
        } else {
            static const char* const pairs[] = {"||", "!=", "<>", "<=", ">=", "^=", ":="};
            bool matched = false;
            for (const char* p : pairs) {
                if (sql.compare(i, 2, p) == 0) {
                    i += 2;
                    matched = true;
                    break;
                }
            }
            if (!matched) {
                ++i;
            }
            token.kind = Token::Kind::Operator;
        }
        token.text = sql.substr(start, i - start);
        tokens.push_back(std::move(token));
    }
    trailingSpace = space;
    return true;
}

bool BuildTree(const std::vector<Token>& tokens, NodeList& nodes, std::string& error) {
    std::vector<NodeList*> stack{&nodes};
    std::vector<Node*> open;
    for (const Token& token : tokens) {
        if (token.kind == Token::Kind::Open) {
            // The rewriter walks the tree recursively: nesting is bounded as Oracle bounds it.
            if (open.size() >= kMaxNesting) {
                error = "parentheses nested deeper than " + std::to_string(kMaxNesting) + " levels";
                return false;
            }
            Node group;
            group.isGroup = true;
            group.token = token;
            stack.back()->push_back(std::move(group));
            open.push_back(&stack.back()->back());
            stack.push_back(&open.back()->children);
        } else if (token.kind == Token::Kind::Close) {
            if (open.empty()) {
                error = "missing left parenthesis";
                return false;
            }
            open.back()->close = token;
            open.pop_back();
            stack.pop_back();
        } else {
            stack.back()->push_back(Node::Of(token));
        }
    }
    if (!open.empty()) {
        error = "missing right parenthesis";
        return false;
    }
    return true;
}

void RenderTo(const Node& node, std::string& out) {
    out += node.token.space;
    out += node.token.text;
    if (node.isGroup) {
        for (const Node& child : node.children) {
            RenderTo(child, out);
        }
        out += node.close.space;
        out += node.close.text;
    }
}

std::string Render(const NodeList& nodes) {
    std::string out;
    for (const Node& node : nodes) {
        RenderTo(node, out);
    }
    return out;
}

void EnsureSpace(NodeList& nodes) {
    if (!nodes.empty() && nodes.front().token.space.empty()) {
        nodes.front().token.space = " ";
    }
}

}  // namespace db::sql
