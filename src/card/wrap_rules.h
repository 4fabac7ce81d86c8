#pragma once
// The card editor's tag rules: pure string operations on the text box (GBK bytes, selection
// as byte positions) and the title box (UTF-16, selection in UTF-16 units), given which box
// has the keyboard focus. The window only supplies these states and applies the result.
#include <array>
#include <string>
#include <string_view>

namespace card {

// The message of a wrap button pressed with nothing selected in either box (UTF-8, as the
// captions and hints below: texts of the user interface, not of the card).
inline constexpr std::string_view kSelectFirstMessage = "请选择相应内容后再点击本按钮！";

// The text box: GBK text, its selection as a 0-based byte offset and a byte count.
struct TextBoxState {
    std::string text;
    size_t selStart = 0;
    size_t selLength = 0;
    bool focused = false;
};

// The title box: UTF-16 text, its selection in UTF-16 units.
struct TitleBoxState {
    std::u16string text;
    size_t selStart = 0;
    size_t selLength = 0;
    bool focused = false;
};

// An opening and a closing tag. The tags are ASCII, so their 8-bit (GBK) and wide forms hold
// the same characters.
struct TagPair {
    std::string_view open;
    std::string_view close;
};

// Whether a button acts only on the box that has the keyboard focus.
enum class FocusRule { Required, Ignored };

struct WrapButtonInfo {
    std::string_view name;    // the button's design name
    std::string_view caption; // its one-character caption
    std::string_view hint;
    TagPair tags;
    FocusRule focus;
};

// The ten wrap buttons in tool-bar order.
const std::array<WrapButtonInfo, 10>& wrapButtons();
// The entry of wrapButtons() with the given design name; throws std::out_of_range if unknown.
const WrapButtonInfo& wrapButton(std::string_view name);

enum class EditAction {
    None,             // nothing changes and nothing is shown
    ReplaceSelection, // the text box's selection becomes `replacement`
    ReplaceTitle,     // the title's whole text becomes `title`
    ShowMessage       // kSelectFirstMessage is shown, nothing changes
};

struct EditResult {
    EditAction action = EditAction::None;
    std::string replacement; // GBK, for ReplaceSelection
    std::u16string title;    // for ReplaceTitle
};

// A wrap button: the text box's selection S becomes O + S + C when that box has the focus;
// otherwise the title's whole text becomes O + S + C (S its selected part) when the title has
// the focus; with no selection in either box the message is shown. FocusRule::Ignored drops
// both focus conditions.
EditResult wrapSelection(const TextBoxState& text, const TitleBoxState& title, TagPair tags,
                         FocusRule rule);

// The opening font tag: <font color=#H face='F'>, with H the colour digits and F the font
// family name (GBK), character for character.
std::string fontOpenTag(std::string_view colourDigits, std::string_view fontGbk);

// The font tag: wraps the text box's selection, else replaces the title by its wrapped
// selection (the tag turned into UTF-16 from GBK), else does nothing. No focus condition and
// no message.
EditResult applyFontTag(const TextBoxState& text, const TitleBoxState& title,
                        std::string_view colourDigits, std::string_view fontGbk);

// The text box's text after a ReplaceSelection result (for callers without a widget).
std::string applyToText(const TextBoxState& text, const EditResult& result);

} // namespace card
