#pragma once

#include <string>
#include <vector>

// Tokens and parenthesis tree of an SQL statement, for the Oracle statement rewriter.
namespace db::sql {

struct Token {
    enum class Kind { Identifier, QuotedIdentifier, Number, String, Operator, Open, Close };
    Kind kind = Kind::Operator;
    std::string text;
    // Blanks and comments in front of the token, kept so that untouched parts read as written.
    std::string space;

    static Token Word(const std::string& text, const std::string& space = " ") {
        return Token{Kind::Identifier, text, space};
    }
    static Token Symbol(const std::string& text, const std::string& space = "") {
        return Token{Kind::Operator, text, space};
    }
};

// A token, or a parenthesised group: open is its "(", close its ")", children what is inside.
struct Node {
    Token token;
    bool isGroup = false;
    std::vector<Node> children;
    Token close;

    static Node Of(const Token& token) {
        Node node;
        node.token = token;
        return node;
    }
    static Node Group(std::vector<Node> children, const std::string& space = "");

    bool IsWord(const char* word) const;
    bool IsSymbol(const char* symbol) const;
    bool IsIdentifier() const {
        return !isGroup &&
               (token.kind == Token::Kind::Identifier || token.kind == Token::Kind::QuotedIdentifier);
    }
    // The "(+)" of an Oracle outer join.
    bool IsOuterJoinMarker() const;
    // An identifier's name as the database compares it: quoted names as written, others in
    // lower case.
    std::string Name() const;
};

using NodeList = std::vector<Node>;

bool Tokenize(const std::string& sql, std::vector<Token>& tokens, std::string& trailingSpace,
              std::string& error);
// Parentheses nested deeper than this are refused (Oracle's limit of nested sub-selects).
constexpr size_t kMaxNesting = 255;

bool BuildTree(const std::vector<Token>& tokens, NodeList& nodes, std::string& error);
std::string Render(const NodeList& nodes);
void RenderTo(const Node& node, std::string& out);
// Makes sure the first token of the list is separated from what comes before it.
void EnsureSpace(NodeList& nodes);

}  // namespace db::sql
