#include "base/Convert.h"
#include "xmltree/wexXMLTree.h"

#include <array>
#include <utility>

namespace {

struct TOperatorText {
    std::string_view text;
    TFilterOperator op;
};

// The search order is fixed: the first of these that occurs anywhere in a condition wins,
// whatever stands further left.
using enum TFilterOperator;
constexpr std::array<TOperatorText, 13> Operators = {{
    {" $ne$ ", NotEqual},
    {" $ine$ ", NotEqualIgnoreCase},
    {" $ge$ ", GreaterOrEqual},
    {" $ige$ ", GreaterOrEqualText},
    {" $gt$ ", Greater},
    {" $igt$ ", GreaterText},
    {" $le$ ", LessOrEqual},
    {" $ile$ ", LessOrEqualText},
    {" $lt$ ", Less},
    {" $ilt$ ", LessText},
    {" $eq$ ", Equal},
    {" $ieq$ ", EqualIgnoreCase},
    {" = ", Equal},
}};

bool IsQuote(char c) { return c == '"' || c == '\''; }

} // namespace

std::string StripQuotes(std::string_view text)
{
    std::string_view t = TrimView(text);
    if (!t.empty() && IsQuote(t.front()))
        t.remove_prefix(1);
    if (!t.empty() && IsQuote(t.back()))
        t.remove_suffix(1);
    return std::string(t);
}

bool ParseCondition(std::string_view text, TParsedCondition& result)
{
    for (const auto& op : Operators) {
        const size_t at = text.find(op.text);
        if (at == std::string_view::npos)
            continue;
        result.Name = Trim(text.substr(0, at));
        result.Operand = StripQuotes(text.substr(at + op.text.size()));
        result.Operator = op.op;
        return !result.Name.empty() && !result.Operand.empty();
    }
    result.Name = std::string(text);
    result.Operand.clear();
    result.Operator = TFilterOperator::None;
    return true;
}

bool TestValue(const TwexXMLFilterAtom& atom, std::string_view value)
{
    const std::string_view operand = atom.Operand;
    auto numeric = [&](auto compare) {
        long double v, o;
        return TryStrToFloat(value, v) && TryStrToFloat(operand, o) && compare(v, o);
    };
    switch (atom.Operator) {
    case TFilterOperator::None: return true;
    case TFilterOperator::Equal: return value == operand;
    case TFilterOperator::EqualIgnoreCase: return SameTextAscii(value, operand);
    case TFilterOperator::NotEqual: return value != operand;
    case TFilterOperator::NotEqualIgnoreCase: return !SameTextAscii(value, operand);
    case TFilterOperator::GreaterOrEqual: return numeric([](long double v, long double o) { return v >= o; });
    case TFilterOperator::GreaterOrEqualText: return CompareTextAscii(value, operand) >= 0;
    case TFilterOperator::LessOrEqual: return numeric([](long double v, long double o) { return v <= o; });
    case TFilterOperator::LessOrEqualText: return CompareTextAscii(value, operand) <= 0;
    case TFilterOperator::Greater: return numeric([](long double v, long double o) { return v > o; });
    case TFilterOperator::GreaterText: return CompareTextAscii(value, operand) > 0;
    case TFilterOperator::Less: return numeric([](long double v, long double o) { return v < o; });
    case TFilterOperator::LessText: return CompareTextAscii(value, operand) < 0;
    }
    return false;
}

TwexXMLFilter::TwexXMLFilter(std::string_view stepText)
{
    const size_t bracket = stepText.find('[');
    if (bracket == std::string_view::npos) {
        SetName(stepText);
        return;
    }
    SetName(stepText.substr(0, bracket));
    std::string_view rest = stepText.substr(bracket);
    // A condition that cannot be read ends the step: the conditions before it still apply.
    while (!rest.empty()) {
        rest = TrimView(rest);
        const size_t open = rest.find('[');
        if (open == std::string_view::npos)
            break;
        const size_t close = rest.find(']', open + 1);
        if (close == std::string_view::npos)
            break;
        std::string_view condition = rest.substr(open + 1, close - open - 1);
        rest = rest.substr(close + 1);
        if (condition.empty())
            break;
        const bool isAttribute = condition.front() == '@';
        if (isAttribute)
            condition.remove_prefix(1);
        TParsedCondition parsed;
        if (!ParseCondition(condition, parsed))
            break;
        auto atom = std::make_unique<TwexXMLFilterAtom>();
        atom->SetName(parsed.Name);
        atom->SetOperator(parsed.Operator);
        atom->SetOperand(parsed.Operand);
        atom->SetIsAttribute(isAttribute);
        Atoms.push_back(std::move(atom));
    }
}

bool TwexXMLNode::MatchesFilter(const TwexXMLFilter& filter) const
{
    if (Name() != filter.Name)
        return false;
    for (const auto& atom : filter.Atoms) {
        bool holds = false;
        if (atom->IsAttribute && atom->Name == "*") {
            for (const TwexXMLAttribute& attribute : Attributes())
                if (TestValue(*atom, attribute.Value())) {
                    holds = true;
                    break;
                }
        } else if (atom->IsAttribute) {
            const TwexXMLAttribute* attribute = AttributeByName(atom->Name);
            holds = attribute && TestValue(*atom, attribute->Value());
        } else {
            const TwexXMLNode* child = ChildByName(atom->Name);
            holds = child && TestValue(*atom, child->Value());
        }
        if (!holds)
            return false;
    }
    return true;
}

TwexXMLNode* TwexXMLNode::SelectNode(std::string_view path) const
{
    // Each "/" separates two steps, wherever it stands. The search is depth first with
    // backtracking: when a matching child has nothing for the rest of the path, the next
    // matching child is tried. It runs on an explicit stack, so no path or document is too
    // deep for it.
    std::vector<TwexXMLFilter> steps;
    for (size_t start = 0;;) {
        const size_t slash = path.find('/', start);
        steps.emplace_back(path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    std::vector<std::pair<const TwexXMLNode*, uint32_t>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        const size_t level = stack.size() - 1;
        const TwexXMLNode* found = nullptr;
        const TXmlNodeRange children = node->Children();
        while (next < children.size()) {
            const TwexXMLNode* child = children[next++];
            if (child->MatchesFilter(steps[level])) {
                found = child;
                break;
            }
        }
        if (!found) {
            stack.pop_back();
            continue;
        }
        if (level + 1 == steps.size())
            return const_cast<TwexXMLNode*>(found);
        stack.emplace_back(found, 0);
    }
    return nullptr;
}
