#include "card/wrap_rules.h"

#include "core/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using card::EditAction;
using card::FocusRule;
using card::TextBoxState;
using card::TitleBoxState;

std::string gbk(const char* utf8)
{
    return core::utf8ToGbk(utf8);
}

// The text box with `selected` selected at the given byte offset.
TextBoxState textBox(const std::string& text, size_t start, size_t length, bool focused)
{
    return TextBoxState{text, start, length, focused};
}

TitleBoxState titleBox(const std::u16string& text, size_t start, size_t length, bool focused)
{
    return TitleBoxState{text, start, length, focused};
}

const TitleBoxState kUnselectedTitle = titleBox(u"标题", 0, 0, false);
const TextBoxState kUnselectedText = textBox(gbk("内容"), 0, 0, false);

card::EditResult press(const char* button, const TextBoxState& text, const TitleBoxState& title)
{
    const card::WrapButtonInfo& b = card::wrapButton(button);
    return card::wrapSelection(text, title, b.tags, b.focus);
}

TEST(WrapButtons, TableInToolBarOrder)
{
    const auto& b = card::wrapButtons();
    EXPECT_EQ(b[0].caption, "跑");
    EXPECT_EQ(b[0].hint, "跑马灯效果");
    EXPECT_EQ(b[0].tags.open, "<br><marquee>");
    EXPECT_EQ(b[0].tags.close, "</marquee>");
    EXPECT_EQ(b[5].name, "bigbtn");
    EXPECT_EQ(b[6].name, "strongbtn");
    EXPECT_EQ(b[6].hint, "加粗");
    EXPECT_EQ(b[8].hint, "底纹");
    EXPECT_EQ(b[8].tags.open, "<u>");
    EXPECT_EQ(b[9].name, "centrebtn");
    EXPECT_EQ(b[9].caption, "中");
    for (size_t i = 0; i < b.size(); ++i)
        EXPECT_EQ(b[i].focus, i == 9 ? FocusRule::Ignored : FocusRule::Required) << b[i].name;
    for (int level = 1; level <= 4; ++level) {
        const auto& h = b[static_cast<size_t>(level)];
        EXPECT_EQ(h.caption, std::to_string(level));
        EXPECT_EQ(h.tags.open, "<h" + std::to_string(level) + ">");
        EXPECT_EQ(h.tags.close, "</h" + std::to_string(level) + ">");
    }
    EXPECT_THROW(card::wrapButton("nobtn"), std::out_of_range);
}

// Rule 1: a selection in the focused text box is wrapped (GBK bytes, byte positions).
TEST(WrapTextBox, FocusedSelectionIsWrapped)
{
    const TextBoxState all = textBox(gbk("内容"), 0, 4, true);
    const card::EditResult r = press("h1btn", all, kUnselectedTitle);
    ASSERT_EQ(r.action, EditAction::ReplaceSelection);
    EXPECT_EQ(card::applyToText(all, r), gbk("<h1>内容</h1>"));

    const TextBoxState a = textBox("xAy", 1, 1, true);
    EXPECT_EQ(card::applyToText(a, press("htmlrunbtn", a, kUnselectedTitle)),
              "x<br><marquee>A</marquee>y");

    // Only the selected bytes are wrapped; the rest of the text (other lines too) stays.
    const std::string text = gbk("第一行\r\n生日快乐\r\n末行");
    const TextBoxState mid = textBox(text, 8, 4, true); // "生日", after 6 + 2 bytes
    EXPECT_EQ(card::applyToText(mid, press("ubtn", mid, kUnselectedTitle)),
              gbk("第一行\r\n<u>生日</u>快乐\r\n末行"));
}

TEST(WrapTextBox, SelectionReachingPastTheEndIsClipped)
{
    const TextBoxState t = textBox("abc", 1, 99, true);
    EXPECT_EQ(card::applyToText(t, press("ibtn", t, kUnselectedTitle)), "a<i>bc</i>");
}

// Rule 1.2: a text selection without the focus blocks everything, even a title selection.
TEST(WrapTextBox, UnfocusedSelectionDoesNothingAndIgnoresTheTitle)
{
    const TextBoxState text = textBox(gbk("内容"), 0, 2, false);
    const TitleBoxState title = titleBox(u"标题", 0, 2, true);
    for (const auto& b : card::wrapButtons()) {
        const card::EditResult r = card::wrapSelection(text, title, b.tags, b.focus);
        if (b.name == "centrebtn") {
            ASSERT_EQ(r.action, EditAction::ReplaceSelection);
            EXPECT_EQ(card::applyToText(text, r), gbk("<center>内</center>容"));
        } else {
            EXPECT_EQ(r.action, EditAction::None) << b.name;
        }
    }
}

// Rule 2: nothing selected anywhere shows the message, focus or not, centre too.
TEST(WrapMessage, NoSelectionAnywhereShowsTheMessage)
{
    for (bool focused : {false, true})
        for (const auto& b : card::wrapButtons()) {
            const card::EditResult r =
                card::wrapSelection(textBox(gbk("内容"), 1, 0, focused),
                                    titleBox(u"标题", 2, 0, !focused), b.tags, b.focus);
            EXPECT_EQ(r.action, EditAction::ShowMessage) << b.name;
        }
    EXPECT_EQ(card::kSelectFirstMessage, "请选择相应内容后再点击本按钮！");
    // An empty text box with a stale selection count is no selection.
    EXPECT_EQ(press("h2btn", textBox("", 0, 3, true), titleBox(u"", 0, 0, false)).action,
              EditAction::ShowMessage);
}

// Rule 3: the focused title is replaced by its wrapped selection; the rest is dropped.
TEST(WrapTitle, FocusedTitleKeepsOnlyTheWrappedSelection)
{
    const card::EditResult r = press("strongbtn", kUnselectedText, titleBox(u"标题", 1, 1, true));
    ASSERT_EQ(r.action, EditAction::ReplaceTitle);
    EXPECT_EQ(r.title, u"<strong>题</strong>");

    const card::EditResult mid =
        press("h3btn", kUnselectedText, titleBox(u"祝你生日快乐", 2, 2, true));
    EXPECT_EQ(mid.title, u"<h3>生日</h3>");

    // Characters outside GBK stay as they are in the title.
    const card::EditResult wide =
        press("bigbtn", kUnselectedText, titleBox(u"x\U0001F382y", 1, 2, true));
    EXPECT_EQ(wide.title, u"<big>\U0001F382</big>");
}

TEST(WrapTitle, UnfocusedTitleDoesNothingExceptForCentre)
{
    const TitleBoxState title = titleBox(u"标题", 0, 1, false);
    EXPECT_EQ(press("h4btn", kUnselectedText, title).action, EditAction::None);
    const card::EditResult c = press("centrebtn", kUnselectedText, title);
    ASSERT_EQ(c.action, EditAction::ReplaceTitle);
    EXPECT_EQ(c.title, u"<center>标</center>");
}

// The font tag: text first, then title, no focus condition, no message.
TEST(FontTag, WrapsTextSelectionWithoutFocus)
{
    const std::string song = gbk("宋体");
    EXPECT_EQ(card::fontOpenTag("FF0000", song), "<font color=#FF0000 face='" + song + "'>");
    const TextBoxState a = textBox("A", 0, 1, false);
    const card::EditResult red =
        card::applyFontTag(a, titleBox(u"标题", 0, 2, true), "FF0000", song);
    ASSERT_EQ(red.action, EditAction::ReplaceSelection);
    EXPECT_EQ(card::applyToText(a, red), "<font color=#FF0000 face='" + song + "'>A</font>");
    EXPECT_EQ(card::applyToText(a, card::applyFontTag(a, kUnselectedTitle, "1FFFFFFF", song)),
              "<font color=#1FFFFFFF face='" + song + "'>A</font>");
}

TEST(FontTag, TitleSelectionReplacesTitleWithWideTag)
{
    const card::EditResult r = card::applyFontTag(kUnselectedText, titleBox(u"新年好", 1, 1, false),
                                                  "0000FF", gbk("黑体"));
    ASSERT_EQ(r.action, EditAction::ReplaceTitle);
    EXPECT_EQ(r.title, u"<font color=#0000FF face='黑体'>年</font>");
}

TEST(FontTag, NothingSelectedDoesNothing)
{
    const card::EditResult r = card::applyFontTag(textBox("abc", 1, 0, true),
                                                  titleBox(u"abc", 3, 0, true), "000000", "Sans");
    EXPECT_EQ(r.action, EditAction::None);
    EXPECT_TRUE(r.replacement.empty());
    EXPECT_TRUE(r.title.empty());
}

} // namespace
