// The descriptor: its text and JSON forms, and the read and write suites as a
// plug-in uses them.
#include <gtest/gtest.h>

#include "Descriptor.h"
#include "HandleSuite.h"

namespace {

constexpr const char* kAllTypes = "'Amnt' 'UntF' '#Prc' 42.5\n"
                                  "'disP' 'enum' 'mooD' 'moD1'\n"
                                  "'entI' 'bool' true\n"
                                  "'Cnt ' 'long' -3\n"
                                  "'Flt ' 'doub' 0.1\n"
                                  "'Nm  ' 'TEXT' \"say \\\"hi\\\"\\x0A\"\n"
                                  "'Cls ' 'type' 'Lyr '\n"
                                  "'Obj ' 'Objc' 'Clss' \"'In  ' 'long' 1\\x0A\"\n";

TEST(Descriptor, TextAndJsonFormsRoundTrip) {
  Descriptor d;
  std::string error;
  ASSERT_TRUE(DescriptorFromText(kAllTypes, d, error)) << error;
  ASSERT_EQ(d.items.size(), 8u);
  EXPECT_EQ(d.Find(FourCC("Amnt"))->number, 42.5);
  EXPECT_EQ(d.Find(FourCC("Amnt"))->unit, FourCC("#Prc"));
  EXPECT_EQ(d.Find(FourCC("disP"))->value, FourCC("moD1"));
  EXPECT_EQ(d.Find(FourCC("Cnt "))->integer, -3);
  EXPECT_EQ(d.Find(FourCC("Nm  "))->text, "say \"hi\"\n");
  EXPECT_EQ(DescriptorToText(d), kAllTypes);
  Descriptor fromJson;
  ASSERT_TRUE(DescriptorFromJson(DescriptorToJson(d), fromJson, error)) << error;
  EXPECT_EQ(DescriptorToText(fromJson), kAllTypes);
}

TEST(Descriptor, MalformedTextIsRefusedWithTheLine) {
  Descriptor d;
  std::string error;
  EXPECT_FALSE(DescriptorFromText("'Amnt' 'UntF' 42.5\n", d, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
  EXPECT_FALSE(DescriptorFromText("# comment\n'Amnt' 'zzzz' 1\n", d, error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
  EXPECT_FALSE(DescriptorFromText("'Cnt ' 'long' 1.5\n", d, error));
  EXPECT_FALSE(DescriptorFromText("'Amn' 'long' 1\n", d, error));
  EXPECT_FALSE(DescriptorFromJson("{\"key\": \"Amnt\"}", d, error));
}

TEST(Descriptor, CodesOfAnyBytesKeepTheirValueInBothForms) {
  // Codes with bytes outside printable ASCII are written escaped; two such keys
  // must not come back as one.
  Descriptor d;
  DescriptorItem item;
  item.type = FourCC("long");
  item.key = 0x436E8CDBu;
  item.integer = 1;
  d.Put(item);
  item.key = 0x436E0A09u;
  item.integer = 2;
  d.Put(item);
  const std::string text = DescriptorToText(d);
  EXPECT_EQ(text, "'\\x43\\x6E\\x8C\\xDB' 'long' 1\n'\\x43\\x6E\\x0A\\x09' 'long' 2\n");
  for (bool json : {false, true}) {
    Descriptor back;
    std::string error;
    ASSERT_TRUE(json ? DescriptorFromJson(DescriptorToJson(d), back, error)
                     : DescriptorFromText(text, back, error))
        << error;
    ASSERT_EQ(back.items.size(), 2u);
    EXPECT_EQ(back.items[0].key, 0x436E8CDBu);
    EXPECT_EQ(back.items[1].key, 0x436E0A09u);
  }
}

TEST(Descriptor, MalformedJsonIsRefusedWithoutThrowing) {
  const char* const bad[] = {
      "[{\"type\": \"long\", \"value\": 1}]",                   // no key
      "[{\"key\": \"Cnt \", \"value\": 1}]",                    // no type
      "[{\"value\": 1}]",                                       // a value alone
      "[{\"key\": \"Cnt \"}]",                                  //
      "[{\"key\": \"Cnt \", \"type\": \"long\"}]",              // no value
      "[{\"key\": 1234, \"type\": \"long\", \"value\": 1}]",    // a code that is no string
      "[{\"key\": xCnt1, \"type\": \"long\", \"value\": 1}]",   //
      "[{\"key\": \"Cnt\", \"type\": \"long\", \"value\": 1}]", // three characters
      "[{\"key\": \"e   \", \"type\": \"enum\", \"enumType\": \"ab\", \"value\": \"abcd\"}]",
      "[{\"key\": \"e   \", \"type\": \"enum\", \"enumType\": \"abcd\", \"value\": 5}]",
      "[{\"key\": \"c   \", \"type\": \"type\", \"value\": \"\"}]",
      "[] trailing",
      "[{\"key\": \"Cnt \", \"type\": \"long\", \"value\": 1},]",
      "",
      "[",
      "{",
      "\"",
      "[{",
      "[{\"key\"",
      "[{\"key\":",
      "[{\"key\": \"\\u",
      "42",
  };
  for (const char* text : bad) {
    Descriptor d;
    std::string error;
    bool ok = true;
    EXPECT_NO_THROW(ok = DescriptorFromJson(text, d, error)) << text;
    EXPECT_FALSE(ok) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  // Every cut of a valid file is refused, never thrown over.
  Descriptor d;
  std::string error;
  ASSERT_TRUE(DescriptorFromText(kAllTypes, d, error)) << error;
  const std::string json = DescriptorToJson(d);
  const std::size_t end = json.find_last_of(']');
  for (std::size_t size = 0; size < end; ++size) {
    Descriptor cut;
    bool ok = true;
    EXPECT_NO_THROW(ok = DescriptorFromJson(json.substr(0, size), cut, error)) << size;
    EXPECT_FALSE(ok) << size;
  }
  // The object is named in the message.
  EXPECT_FALSE(DescriptorFromJson("[{\"key\": \"a   \", \"type\": \"long\", \"value\": 1}, "
                                  "{\"key\": \"b   \", \"type\": \"long\"}]",
                                  d, error));
  EXPECT_NE(error.find("object 1"), std::string::npos) << error;
}

TEST(Descriptor, JsonKeepsBytesAndNumbersThatJsonCannotSpell) {
  // Text that is not UTF-8 (alias bytes), a code of high bytes and numbers beyond
  // JSON's range must all come back as they were; UTF-8 text stays readable.
  Descriptor d;
  std::string error;
  ASSERT_TRUE(DescriptorFromText("'Als ' 'alis' \"\\xFF\\x00\\xC3\"\n"
                                 "'Nm  ' 'TEXT' \"\\xE5\\x90\\x8D\"\n"
                                 "'\\xA9\\x43\\x6E\\xFF' 'doub' nan\n"
                                 "'Inf ' 'UntF' '#Prc' -inf\n",
                                 d, error))
      << error;
  const std::string json = DescriptorToJson(d);
  EXPECT_NE(json.find("\"value\":[255,0,195]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"value\":\"\xE5\x90\x8D\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"key\":\"\xC2\xA9"
                      "Cn\xC3\xBF\""),
            std::string::npos)
      << json;
  Descriptor back;
  ASSERT_TRUE(DescriptorFromJson(json, back, error)) << error;
  EXPECT_EQ(DescriptorToText(back), DescriptorToText(d));
  EXPECT_EQ(DescriptorToJson(back), json);
  // A code character beyond U+00FF is no byte, and an array value holds bytes only.
  EXPECT_FALSE(DescriptorFromJson("[{\"key\": \"\\u0100abc\", \"type\": \"long\", \"value\": 1}]",
                                  back, error));
  EXPECT_NE(error.find("object 0 \"key\""), std::string::npos) << error;
  EXPECT_FALSE(DescriptorFromJson("[{\"key\": \"Als \", \"type\": \"alis\", \"value\": [1, 256]}]",
                                  back, error));
  EXPECT_NE(error.find("\"value\""), std::string::npos) << error;
  EXPECT_FALSE(DescriptorFromJson("[{\"key\": \"Flt \", \"type\": \"doub\", \"value\": \"1.5\"}]",
                                  back, error));
  // Whole numbers written as JSON fractions are integers; others are refused.
  ASSERT_TRUE(
      DescriptorFromJson("[{\"key\": \"Cnt \", \"type\": \"long\", \"value\": 3.0}]", back, error))
      << error;
  EXPECT_EQ(back.items[0].integer, 3);
  EXPECT_FALSE(DescriptorFromJson(
      "[{\"key\": \"Cnt \", \"type\": \"long\", \"value\": 2147483648}]", back, error));
  EXPECT_FALSE(DescriptorFromJson("[{\"key\": \"Cnt \", \"type\": \"long\", \"value\": 1e400}]",
                                  back, error));
  EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
}

TEST(Descriptor, LaterDuplicateReplacesEarlier) {
  Descriptor d;
  std::string error;
  ASSERT_TRUE(DescriptorFromText("'Cnt ' 'long' 1\n'Cnt ' 'long' 2\n", d, error));
  ASSERT_EQ(d.items.size(), 1u);
  EXPECT_EQ(d.items[0].integer, 2);
}

class DescriptorSuites : public ::testing::Test {
protected:
  void TearDown() override { HandleSuite::Instance().Reset(); }
  Handle Make(const char* text) {
    Descriptor d;
    std::string error;
    EXPECT_TRUE(DescriptorFromText(text, d, error)) << error;
    return NewDescriptorHandle(d);
  }
  ReadDescriptorProcs* read = DescriptorReadProcs();
  WriteDescriptorProcs* write = DescriptorWriteProcs();
};

TEST_F(DescriptorSuites, AdvertiseFullSuites) {
  EXPECT_EQ(read->readDescriptorProcsVersion, 0);
  EXPECT_EQ(read->numReadDescriptorProcs, 18);
  EXPECT_EQ(write->writeDescriptorProcsVersion, 0);
  EXPECT_EQ(write->numWriteDescriptorProcs, 16);
  // Every procedure is present.
  auto** procs = reinterpret_cast<void**>(&read->openReadDescriptorProc);
  for (int i = 0; i < 18; ++i)
    EXPECT_NE(procs[i], nullptr) << i;
  auto** writers = reinterpret_cast<void**>(&write->openWriteDescriptorProc);
  for (int i = 0; i < 16; ++i)
    EXPECT_NE(writers[i], nullptr) << i;
}

TEST_F(DescriptorSuites, ReadPinsAndReportsMissingExpectedKeys) {
  Handle handle = Make("'Amnt' 'UntF' '#Prc' 150\n'entI' 'bool' true\n");
  DescriptorKeyID keys[] = {FourCC("Amnt"), FourCC("disP"), 0};
  PIReadDescriptor token = read->openReadDescriptorProc(handle, keys);
  ASSERT_NE(token, nullptr);
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  ASSERT_TRUE(read->getKeyProc(token, &key, &type, nullptr));
  EXPECT_EQ(key, FourCC("Amnt"));
  EXPECT_EQ(type, typeUnitFloat);
  double min = 1.0, max = 99.0, value = 0;
  DescriptorUnitID unit = FourCC("#Prc");
  EXPECT_EQ(read->getPinnedUnitFloatProc(token, &min, &max, &unit, &value), coercedParamErr);
  EXPECT_EQ(value, 99.0);
  ASSERT_TRUE(read->getKeyProc(token, &key, &type, nullptr));
  Boolean flag = 0;
  EXPECT_EQ(read->getBooleanProc(token, &flag), noErr);
  EXPECT_EQ(flag, 1);
  EXPECT_FALSE(read->getKeyProc(token, &key, &type, nullptr));
  EXPECT_EQ(read->closeReadDescriptorProc(token), errAEParamMissed); // 'disP' never came
  EXPECT_EQ(OpenDescriptorTokens(), 0);
}

TEST_F(DescriptorSuites, WrongTypeIsAStickyError) {
  Handle handle = Make("'entI' 'bool' true\n'disP' 'enum' 'mooD' 'moD2'\n");
  PIReadDescriptor token = read->openReadDescriptorProc(handle, nullptr);
  DescriptorKeyID key = 0;
  DescriptorTypeID type = 0;
  ASSERT_TRUE(read->getKeyProc(token, &key, &type, nullptr));
  int32 number = 5;
  EXPECT_NE(read->getIntegerProc(token, &number), noErr);
  EXPECT_EQ(number, 5);
  ASSERT_TRUE(read->getKeyProc(token, &key, &type, nullptr));
  DescriptorEnumID value = 0;
  EXPECT_EQ(read->getEnumeratedProc(token, &value), noErr);
  EXPECT_EQ(value, FourCC("moD2"));
  EXPECT_EQ(read->closeReadDescriptorProc(token), -1700);
}

TEST_F(DescriptorSuites, NoDescriptorGivesNoReader) {
  DescriptorKeyID keys[] = {FourCC("Amnt"), 0};
  EXPECT_EQ(read->openReadDescriptorProc(nullptr, keys), nullptr);
  char notAHandle[8] = {};
  char* fake = notAHandle;
  EXPECT_EQ(read->openReadDescriptorProc(&fake, keys), nullptr);
}

TEST_F(DescriptorSuites, WriteThenReadBack) {
  PIWriteDescriptor token = write->openWriteDescriptorProc();
  ASSERT_NE(token, nullptr);
  double amount = -3.0;
  write->putUnitFloatProc(token, FourCC("Amnt"), FourCC("#Prc"), &amount);
  write->putEnumeratedProc(token, FourCC("disP"), FourCC("mooD"), FourCC("moD1"));
  write->putBooleanProc(token, FourCC("entI"), 1);
  const unsigned char name[] = "\x05Hello";
  write->putStringProc(token, FourCC("Nm  "), name);
  PIDescriptorHandle handle = nullptr;
  EXPECT_EQ(write->closeWriteDescriptorProc(token, &handle), noErr);
  ASSERT_NE(handle, nullptr);
  Descriptor d;
  std::string error;
  ASSERT_TRUE(ReadDescriptorHandle(handle, d, error)) << error;
  EXPECT_EQ(DescriptorToText(d), "'Amnt' 'UntF' '#Prc' -3\n'disP' 'enum' 'mooD' 'moD1'\n"
                                 "'entI' 'bool' true\n'Nm  ' 'TEXT' \"Hello\"\n");
  // The writer is gone: a second close is refused instead of touching freed memory.
  EXPECT_EQ(write->closeWriteDescriptorProc(token, &handle), paramErr);
}

} // namespace
