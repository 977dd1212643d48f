#include <gtest/gtest.h>

#include <QFontMetrics>

#include "grid/CellMarkup.h"
#include "grid/view/MarkupRenderer.h"

namespace kelvaro {
namespace {

QString Joined(const MarkupText& markup) {
  QString text;
  for (const MarkupRun& run : markup.runs) text += run.text;
  return text;
}

TEST(MarkupRendererTest, BoldLinksAndReferences) {
  const MarkupText markup = MarkupRenderer::Parse(
      "<B>Averages:</B> <a href=\"https://q/?a=1&b=2\" title=\"t\">1 &amp; "
      "2</a> &euro;&#65;&#x42;&copy;&nosuch;");
  EXPECT_EQ(Joined(markup), QString::fromUtf8("Averages: 1 & 2 \u20ACAB\u00A9&nosuch;"));
  ASSERT_GE(markup.runs.size(), 3u);
  EXPECT_TRUE(markup.runs[0].bold);
  EXPECT_EQ(markup.runs[0].link, -1);
  EXPECT_FALSE(markup.runs[1].bold);
  EXPECT_EQ(markup.runs[2].link, 0);
  EXPECT_TRUE(markup.runs[2].underline);
  ASSERT_EQ(markup.links.size(), 1u);
  EXPECT_EQ(markup.links[0], "https://q/?a=1&b=2");  // the address as stored, not decoded
}

TEST(MarkupRendererTest, UnknownTagsAreSkippedAndStrayBracketsKept) {
  EXPECT_EQ(Joined(MarkupRenderer::Parse("<p>x <font color=red>y</font><img src=\"a\"></p>")),
            "x y");
  EXPECT_EQ(Joined(MarkupRenderer::Parse("<b>a < b</b> 3<4")), "a < b 3<4");
  EXPECT_EQ(Joined(MarkupRenderer::Parse("<b>open <")), "open <");
}

TEST(MarkupRendererTest, LiteralCellTextShowsEveryCharacterAsText) {
  for (const std::string text :
       {"<a href=\"https://x.example/\">Free</a> &amp; <b>", "a < b &lt;"}) {
    const std::string cell = LiteralCellText(text);
    const MarkupText markup = MarkupRenderer::Parse(cell);
    EXPECT_EQ(
        ClassifyText(cell) == TextKind::kMarkup ? Joined(markup) : QString::fromStdString(cell),
        QString::fromStdString(text));
    EXPECT_TRUE(markup.links.empty());
  }
}

TEST(MarkupRendererTest, LinksAreHitOnlyWhereTheirTextIsDrawn) {
  MarkupRenderer renderer;
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(8);
  const std::string text = "<b>n:</b><a href=\"http://u\">12345</a>";
  QFont bold = font;
  bold.setBold(true);
  const int before = QFontMetrics(bold).horizontalAdvance("n:");
  const int digits = QFontMetrics(font).horizontalAdvance("12345");
  const int middle = QFontMetrics(font).height() / 2;
  EXPECT_EQ(renderer.LinkAt(text, font, QPoint(before / 2, middle)), nullptr);
  const std::string* hit = renderer.LinkAt(text, font, QPoint(before + digits / 2, middle));
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(*hit, "http://u");
  EXPECT_EQ(renderer.LinkAt(text, font, QPoint(before + digits + 3, middle)), nullptr);
  EXPECT_EQ(renderer.Measure(text, font), QSize(before + digits, QFontMetrics(font).height()));
}

TEST(MarkupRendererTest, HintCarriesOnlyTheDrawnParts) {
  MarkupRenderer renderer;
  const QString hint = renderer.ToRichText(
      "<b>x&lt;</b><img src=\"file:///etc/passwd\"><a href=\"http://u\">1</a>", Qt::blue);
  EXPECT_TRUE(hint.contains("<b>x&lt;</b>"));
  EXPECT_FALSE(hint.contains("img"));
  EXPECT_FALSE(hint.contains("http://u"));
}

}  // namespace
}  // namespace kelvaro
