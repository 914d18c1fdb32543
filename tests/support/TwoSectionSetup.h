#pragma once

// What both Word readers must make of the two-section document their tests build: an A4 portrait section
// with a first-page header, a running header and a "Page 9 of 9" footer whose numbers are page fields, then
// an A4 landscape section after a next-page break that has no stories of its own and links to them.

#include "kit/text/PageSetup.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace testsupport {

inline std::string storyText(const std::shared_ptr<kit::TextStorage>& story)
{
    return story ? story->string() : std::string("<none>");
}

inline void expectTwoSectionSetup(const kit::TextStorage& text)
{
    const auto& setup = text.pageSetup();
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->sections.size(), 2u);
    const kit::PageSection& portrait = setup->sections[0];
    const kit::PageSection& landscape = setup->sections[1];
    constexpr auto kDefault = std::size_t(kit::HeaderFooterKind::Default);
    constexpr auto kFirst = std::size_t(kit::HeaderFooterKind::First);

    EXPECT_EQ(portrait.start, 0u);
    EXPECT_NEAR(portrait.paperSize.width, 595.3f, 0.05f);
    EXPECT_NEAR(portrait.paperSize.height, 841.9f, 0.05f);
    EXPECT_EQ(portrait.margins, (kit::PageMargins { 72, 90, 54, 36, 36, 36, 0 }));
    EXPECT_TRUE(portrait.titlePage);
    EXPECT_EQ(storyText(portrait.headers[kFirst]), "First page header\n");
    EXPECT_EQ(storyText(portrait.headers[kDefault]), "Running header\n");
    const auto& footer = portrait.footers[kDefault];
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->string(), "Page 9 of 9\n") << "field codes dropped, cached results kept";
    EXPECT_EQ(footer->attributesAt(0).pageField, kit::PageField::None);
    EXPECT_EQ(footer->attributesAt(5).pageField, kit::PageField::Page);
    EXPECT_EQ(footer->attributesAt(7).pageField, kit::PageField::None);
    EXPECT_EQ(footer->attributesAt(10).pageField, kit::PageField::NumPages);
    EXPECT_EQ(text.string().find("Running header"), std::string::npos) << "stories stay out of the body";

    const std::string& body = text.string();
    ASSERT_LT(landscape.start, body.size());
    ASSERT_GT(landscape.start, 0u);
    EXPECT_EQ(body.substr(landscape.start, 7), "Charlie");
    EXPECT_EQ(body[landscape.start - 1], kit::kPageBreak) << "a next-page section break ends its page";
    EXPECT_NEAR(landscape.paperSize.width, 841.9f, 0.05f);
    EXPECT_NEAR(landscape.paperSize.height, 595.3f, 0.05f);
    EXPECT_NEAR(landscape.margins.header, 35.4f, 0.05f);
    EXPECT_FALSE(landscape.titlePage);
    EXPECT_FALSE(landscape.headers[kDefault]) << "no story of its own: linked, not copied";
    EXPECT_EQ(setup->header(1, kit::HeaderFooterKind::Default), portrait.headers[kDefault]);
    EXPECT_EQ(setup->footer(1, kit::HeaderFooterKind::Default), footer);
    EXPECT_EQ(setup->sectionIndexAt(landscape.start - 1), 0u);
    EXPECT_EQ(setup->sectionIndexAt(landscape.start), 1u);
}

} // namespace testsupport
