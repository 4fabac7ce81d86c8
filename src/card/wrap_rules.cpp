#include "card/wrap_rules.h"

#include "core/gbk.h"

#include <algorithm>
#include <stdexcept>

namespace card {

namespace {

template <typename Str> Str selectedPart(const Str& text, size_t start, size_t length)
{
    if (start >= text.size())
        return Str();
    return text.substr(start, std::min(length, text.size() - start));
}

bool hasSelection(const TextBoxState& t)
{
    return t.selLength > 0 && t.selStart < t.text.size();
}

bool hasSelection(const TitleBoxState& t)
{
    return t.selLength > 0 && t.selStart < t.text.size();
}

std::u16string wide(std::string_view gbk)
{
    return core::gbkToUtf16(gbk);
}

} // namespace

const std::array<WrapButtonInfo, 10>& wrapButtons()
{
    static const std::array<WrapButtonInfo, 10> buttons{{
        {"htmlrunbtn", "跑", "跑马灯效果", {"<br><marquee>", "</marquee>"}, FocusRule::Required},
        {"h1btn", "1", "一号字", {"<h1>", "</h1>"}, FocusRule::Required},
        {"h2btn", "2", "二号字", {"<h2>", "</h2>"}, FocusRule::Required},
        {"h3btn", "3", "三号字", {"<h3>", "</h3>"}, FocusRule::Required},
        {"h4btn", "4", "四号字", {"<h4>", "</h4>"}, FocusRule::Required},
        {"bigbtn", "大", "增大", {"<big>", "</big>"}, FocusRule::Required},
        {"strongbtn", "重", "加粗", {"<strong>", "</strong>"}, FocusRule::Required},
        {"ibtn", "斜", "斜体", {"<i>", "</i>"}, FocusRule::Required},
        {"ubtn", "底", "底纹", {"<u>", "</u>"}, FocusRule::Required},
        {"centrebtn", "中", "居中", {"<center>", "</center>"}, FocusRule::Ignored},
    }};
    return buttons;
}

const WrapButtonInfo& wrapButton(std::string_view name)
{
    for (const WrapButtonInfo& b : wrapButtons())
        if (b.name == name)
            return b;
    throw std::out_of_range("no wrap button " + std::string(name));
}

EditResult wrapSelection(const TextBoxState& text, const TitleBoxState& title, TagPair tags,
                         FocusRule rule)
{
    const bool anyFocus = rule == FocusRule::Ignored;
    EditResult result;
    if (hasSelection(text)) {
        if (anyFocus || text.focused) {
            result.action = EditAction::ReplaceSelection;
            result.replacement = std::string(tags.open) +
                                 selectedPart(text.text, text.selStart, text.selLength) +
                                 std::string(tags.close);
        }
        return result; // without the focus the title is not looked at
    }
    if (!hasSelection(title)) {
        result.action = EditAction::ShowMessage;
        return result;
    }
    if (anyFocus || title.focused) {
        result.action = EditAction::ReplaceTitle;
        result.title = wide(tags.open) + selectedPart(title.text, title.selStart, title.selLength) +
                       wide(tags.close);
    }
    return result;
}

std::string fontOpenTag(std::string_view colourDigits, std::string_view fontGbk)
{
    return "<font color=#" + std::string(colourDigits) + " face=" + "'" + std::string(fontGbk) +
           "'" + ">";
}

EditResult applyFontTag(const TextBoxState& text, const TitleBoxState& title,
                        std::string_view colourDigits, std::string_view fontGbk)
{
    static constexpr std::string_view close = "</font>";
    const std::string open = fontOpenTag(colourDigits, fontGbk);
    EditResult result;
    if (hasSelection(text)) {
        result.action = EditAction::ReplaceSelection;
        result.replacement =
            open + selectedPart(text.text, text.selStart, text.selLength) + std::string(close);
    } else if (hasSelection(title)) {
        result.action = EditAction::ReplaceTitle;
        result.title =
            wide(open) + selectedPart(title.text, title.selStart, title.selLength) + wide(close);
    }
    return result;
}

std::string applyToText(const TextBoxState& text, const EditResult& result)
{
    if (result.action != EditAction::ReplaceSelection || !hasSelection(text))
        return text.text;
    const size_t end = std::min(text.text.size(), text.selStart + text.selLength);
    return text.text.substr(0, text.selStart) + result.replacement + text.text.substr(end);
}

} // namespace card
