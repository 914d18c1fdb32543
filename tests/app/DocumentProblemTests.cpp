// What the page says when a download cannot be shown, decided from the importer's answer.
#include "kit/text/TextStorage.h"
#include "plugin/DocumentProblem.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

std::shared_ptr<kit::TextStorage> textWith(const std::string& string, bool picture = false)
{
    auto storage = std::make_shared<kit::TextStorage>(string);
    if (picture) {
        kit::Attributes attributes;
        auto attachment = std::make_shared<kit::Attachment>();
        attachment->size = { 10, 10 };
        attributes.attachment = attachment;
        storage->append(kit::kAttachmentCharacter, attributes);
    }
    return storage;
}

} // namespace

TEST(DocumentProblem, MessageFollowsWhatTheImporterMade)
{
    using E = importer::ImportError;
    const std::string encrypted = "This document is password-protected and cannot be shown.";
    const std::string damaged = "This document is damaged or incomplete and cannot be shown.";
    const std::string empty = "This document is empty.";
    const testsupport::Case<std::tuple<std::size_t, std::shared_ptr<kit::TextStorage>, importer::ImportError>, std::string>
        cases[] = {
        { { 0, nullptr, E::None }, empty, "no bytes at all" },
        { { 0, textWith(""), E::None }, empty, "no bytes, imported as an empty text" },
        { { 900, nullptr, E::Encrypted }, encrypted, "a password-protected file" },
        { { 900, nullptr, E::Truncated }, damaged, "cut short before any text" },
        { { 900, nullptr, E::Damaged }, damaged, "a damaged container" },
        { { 900, nullptr, E::TooLarge }, "This document is too large to be shown.", "over the importer's limits" },
        { { 900, nullptr, E::NotKnownFormat }, "This file is not in a document format that can be shown.",
            "unknown bytes" },
        { { 900, nullptr, E::Stopped }, damaged, "a reason without a sentence of its own reads as damaged" },
        { { 900, textWith("\n\n\f \t\xE2\x80\xA8\xC2\xA0\n"), E::None }, empty,
            "only breaks and white space: nothing to see" },
        { { 900, textWith("\n"), E::Truncated }, damaged, "cut short with nothing read: the reason wins over empty" },
        { { 900, textWith("Partial text"), E::Truncated }, "",
            "cut short after some text: what could be read is shown" },
        { { 900, textWith("\n", true), E::None }, "", "a picture alone is something to see" },
        { { 900, textWith(" x "), E::None }, "", "one visible character" },
    };
    for (const auto& c : cases) {
        const auto& [bytes, text, error] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(documentProblemMessage(bytes, text.get(), error), c.expected);
    }
}
