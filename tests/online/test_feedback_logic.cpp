#include "online/Feedback.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct EmailCase {
    const char* email;
    bool valid;
};

std::ostream& operator<<(std::ostream& out, const EmailCase& c)
{
    return out << '"' << c.email << "\" " << (c.valid ? "valid" : "invalid");
}

class FeedbackEmailTest : public ::testing::TestWithParam<EmailCase> {};

TEST_P(FeedbackEmailTest, WholeTextAgainstThePattern)
{
    EXPECT_EQ(IsValidFeedbackEmail(QString::fromUtf8(GetParam().email)), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, FeedbackEmailTest,
    ::testing::Values(EmailCase{"user@example.com", true}, EmailCase{"first.last+tag@mail.example.co.uk", true},
                      EmailCase{"a_b-c@host-name.org", true}, EmailCase{"x@y.z", true},
                      EmailCase{"x@y.-9", true},             // the part after the dot may hold dashes
                      EmailCase{"user@example", false},      // no dot after the "@"
                      EmailCase{"user@example.com.", false}, // ends in a dot
                      EmailCase{"us er@example.com", false}, // a space inside
                      EmailCase{"user@exa mple.com", false}, EmailCase{"@example.com", false},
                      EmailCase{"user@@example.com", false},
                      EmailCase{"user@.example.com", false},      // nothing between "@" and the dot
                      EmailCase{"user@sub.example.com\n", false}, // "$" must not stop before a line break
                      EmailCase{"\nuser@example.com", false}, EmailCase{"User@Example.COM", true},
                      EmailCase{"us\xC3\xA9r@example.com", false}, // letters outside ASCII
                      EmailCase{"", false}));

struct ReplyCase {
    const char* reply;
    bool received;
};

std::ostream& operator<<(std::ostream& out, const ReplyCase& c)
{
    return out << '"' << c.reply << '"';
}

class FeedbackReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(FeedbackReplyTest, OnlyOkCounts)
{
    EXPECT_EQ(IsFeedbackReceived(QString::fromUtf8(GetParam().reply)), GetParam().received);
}

INSTANTIATE_TEST_SUITE_P(Replies, FeedbackReplyTest,
                         ::testing::Values(ReplyCase{"OK", true}, ReplyCase{"OK\r\n", true}, ReplyCase{"OK\n", true},
                                           ReplyCase{"  OK \r\n\r\n", true}, ReplyCase{"\r\nOK", true},
                                           ReplyCase{"ok", false}, ReplyCase{"OK.", false}, ReplyCase{"Ok", false},
                                           ReplyCase{"OK\r\nOK", false}, ReplyCase{"", false},
                                           ReplyCase{"NOT OK", false}, ReplyCase{"ERROR", false}));

TEST(FeedbackLabel, EnglishAloneWhenTheCaptionIsEnglish)
{
    EXPECT_EQ(FeedbackLabel("I like it!", "I like it!"), QString("I like it!"));
}

TEST(FeedbackLabel, TranslationBesideTheEnglishWords)
{
    EXPECT_EQ(FeedbackLabel("I like it!", QString::fromUtf8("Es gef\xC3\xA4llt mir!")),
              QString::fromUtf8("I like it! (Es gef\xC3\xA4llt mir!)"));
}

TEST(FeedbackMessage, OuterWhiteSpaceGoesInnerLineBreaksStayAsCrLf)
{
    EXPECT_EQ(FeedbackMessage(" \n\t one\ntwo\r\n\nthree  \n\n"), QString("one\r\ntwo\r\n\r\nthree"));
    EXPECT_EQ(FeedbackMessage("  \n \n\t"), QString());
}

struct TextCase {
    TFeedbackChoice choice;
    const char* message;
    const char* text;
};

class FeedbackTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(FeedbackTextTest, LabelOfTheChoiceThenTheMessage)
{
    EXPECT_EQ(FeedbackText(GetParam().choice, "LIKE", "DISLIKE", GetParam().message), QString(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Choices, FeedbackTextTest,
                         ::testing::Values(TextCase{TFeedbackChoice::None, "Great", "Great"},
                                           TextCase{TFeedbackChoice::Like, "Great", "LIKE\rGreat"},
                                           TextCase{TFeedbackChoice::Dislike, "Bad", "DISLIKE\rBad"},
                                           TextCase{TFeedbackChoice::Like, "one\r\ntwo", "LIKE\rone\r\ntwo"}));

TEST(FeedbackFields, InOrderWithEmail)
{
    EXPECT_EQ(FeedbackFields("Lantrix Pro", "1.2.3", "I like it!\rGreat", "a@b.cd"),
              (FormFields{"cmd=feedback", "appname=Lantrix Pro", "version=1.2.3", "feedback=I like it!\rGreat",
                          "email=a@b.cd"}));
}

TEST(FeedbackFields, NoEmailFieldWhenEmpty)
{
    EXPECT_EQ(FeedbackFields("Lantrix", "2.0", "Hi", ""),
              (FormFields{"cmd=feedback", "appname=Lantrix", "version=2.0", "feedback=Hi"}));
}

} // namespace
