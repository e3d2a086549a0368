// The text rules of scripts: items, parameter markers, the escapes of "@send".
#include "manual/Scriptlines.h"

#include <gtest/gtest.h>

using namespace telvor;

namespace {

using Items = std::vector<std::string>;

TEST(ScriptLines, ItemsSplitAtCommasAndBlanksWithQuotes) {
    EXPECT_EQ(splitScriptItems("myscript,a,b"), (Items{"myscript", "a", "b"}));
    EXPECT_EQ(splitScriptItems("  x  y , z "), (Items{"x", "y", "z"}));
    EXPECT_EQ(splitScriptItems("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(splitScriptItems("a,"), (Items{"a", ""}));
    EXPECT_EQ(splitScriptItems("\"my script.vxc\",\"1, 2\" 3"),
              (Items{"my script.vxc", "1, 2", "3"}));
    EXPECT_EQ(splitScriptItems("\"open"), (Items{"open"}));
    EXPECT_TRUE(splitScriptItems("   ").empty());
}

TEST(ScriptLines, SubstitutionNeverRescansWhatItInserted) {
    TScriptParameters p;
    p[0] = "42";
    p[1] = "@1";
    p[2] = "@1@2";
    EXPECT_EQ(substituteParameters("v=@0 @1 @2 @3.", p), "v=42 @1 @1@2 .");
    EXPECT_EQ(substituteParameters("@10 @", p), "@10 @");
    EXPECT_TRUE(keepsMarkers("@default @2 x"));
    EXPECT_TRUE(keepsMarkers("@SET @1 @0"));
    EXPECT_TRUE(keepsMarkers("@send \"a\""));
    EXPECT_FALSE(keepsMarkers("@echo @1"));
}

TEST(ScriptLines, SendEscapes) {
    EXPECT_EQ(sendBytes("\"AT\\r\\n\""), "AT\r\n");
    EXPECT_EQ(decodeEscapes("\\a\\b\\f\\n\\r\\t\\v\\\\\\'\\\"\\?"),
              std::string("\x07\x08\x0C\x0A\x0D\x09\x0B\x5C\x27\x22\x3F"));
    EXPECT_EQ(decodeEscapes("\\x41\\X4a\\65\\0101\\0x42"), "AJAAB");
    EXPECT_EQ(decodeEscapes("\\x141"), "A"); // the low byte of 0x141
    EXPECT_EQ(decodeEscapes("\\09"), std::string("\0"
                                                 "9",
                                                 2));
    EXPECT_EQ(decodeEscapes("\\0"), std::string(1, '\0'));
    // No number: the backslash goes, what follows stays; at the very end it stays.
    EXPECT_EQ(decodeEscapes("\\q\\xZ"), "qxZ");
    EXPECT_EQ(decodeEscapes("end\\"), "end\\");
    // Only one pair of enclosing quotes goes.
    EXPECT_EQ(sendBytes("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(sendBytes("\"x"), "\"x");
}

TEST(ScriptLines, DirectivesAreLowerCaseButTextsAsWritten) {
    TDirective d = parseDirective("@Echo Hello, World");
    EXPECT_EQ(d.items, (Items{"echo", "hello", "world"}));
    EXPECT_EQ(d.text, "Hello, World");
    EXPECT_TRUE(parseDirective("@:Label").label);
    EXPECT_TRUE(isEchoSwitch(parseDirective("@ECHO OFF")));
    EXPECT_FALSE(isEchoSwitch(parseDirective("@echo off now")));
    EXPECT_EQ(classifyScriptLine("#x"), TScriptLineKind::Comment);
    EXPECT_EQ(classifyScriptLine("%%print,x"), TScriptLineKind::WaitedCommand);
    EXPECT_EQ(classifyScriptLine("dm"), TScriptLineKind::Command);
    EXPECT_EQ(trimScriptLine(" \t\x01 dm \r\n"), "dm");
}

TEST(ScriptLines, RunCommandLineQuotesAScriptNameWithBlanks) {
    EXPECT_EQ(runCommandLine({"/tmp/a.vxc", "1", "x y"}), "@/tmp/a.vxc 1 x y");
    EXPECT_EQ(runCommandLine({"/tmp/my script.vxc"}), "@\"/tmp/my script.vxc\"");
    EXPECT_EQ(runCommandLine({"a,b.vxc"}), "@\"a,b.vxc\"");
}

} // namespace
