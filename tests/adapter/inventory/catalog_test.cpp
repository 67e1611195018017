#include "adapter/inventory/catalog.h"

#include <gtest/gtest.h>

#include "adapter/inventory/catalog_files.h"
#include "support/ui_capture.h"

namespace {

using test::CatalogEntryXml;
using test::CatalogText;

class CatalogTest : public ::testing::Test {
 protected:
  void Load(const std::string& text) { test::LoadCatalogFrom(dir_, text, &catalog_, ui_.ui()); }

  FirmwareCatalog catalog_;
  test::CapturedUi ui_;
  test::TempDir dir_;
};

TEST(CatalogKey, PadsShortTextsWithZerosAndKeepsLongOnes) {
  EXPECT_EQ(CatalogKey("4040", "100", "1234", "AB"), "4040-0100-1234-00AB");
  EXPECT_EQ(CatalogKey("", " ", "12345", "0x100"), "0000-000 -12345-0x100");
}

TEST_F(CatalogTest, ReadsEntriesTwoLevelsDown) {
  Load(CatalogText(CatalogEntryXml("4040", "100", "1234", "00AB", "4.0.556")));
  ASSERT_EQ(catalog_.size(), 1u);
  const CatalogEntry& entry = catalog_.begin()->second;
  EXPECT_EQ(catalog_.begin()->first, "4040-0100-1234-00AB");
  EXPECT_EQ(entry.name, "P3 Adapter");
  EXPECT_EQ(entry.devid, "100");
  EXPECT_EQ(entry.rom, "4.0.556");
  EXPECT_EQ(entry.fwFile, "p3fw.bin");
  EXPECT_EQ(entry.version.Compare(FirmwareVersion(4, 0, 556)), 0);
  EXPECT_TRUE(entry.version.three_part());
}

TEST_F(CatalogTest, SkipsEntriesAtTheWrongDepthOrWithOtherNames) {
  Load(
      "<nic_fw_package>\n"
      "  <nic venid=\"1111\" devid=\"1\" subvenid=\"1\" subdevid=\"1\"/>\n"
      "  <NIC><nic venid=\"2222\" devid=\"1\" subvenid=\"1\" subdevid=\"1\"/></NIC>\n"
      "  <nic>\n"
      "    <NIC venid=\"3333\" devid=\"1\" subvenid=\"1\" subdevid=\"1\"/>\n"
      "    <adapter venid=\"4444\" devid=\"1\" subvenid=\"1\" subdevid=\"1\"/>\n"
      "    <nic><nic venid=\"5555\" devid=\"1\" subvenid=\"1\" subdevid=\"1\"/></nic>\n"
      "    <nic VenID=\"6666\" DEVID=\"1\" subVenId=\"1\" SubDevId=\"1\"/>\n"
      "  </nic>\n"
      "</nic_fw_package>\n");
  ASSERT_EQ(catalog_.size(), 2u);
  // The nested entry element itself is read (its attributes are absent); its child is not.
  EXPECT_EQ(catalog_.count("000 -000 -000 -000 "), 1u);
  EXPECT_EQ(catalog_.count("6666-0001-0001-0001"), 1u);
}

TEST_F(CatalogTest, AbsentAttributesReadAsOneBlank) {
  Load(CatalogText("<nic venid=\"4040\" devid=\"0100\"/>\n"));
  ASSERT_EQ(catalog_.count("4040-0100-000 -000 "), 1u);
  const CatalogEntry& entry = catalog_.at("4040-0100-000 -000 ");
  EXPECT_EQ(entry.name, " ");
  EXPECT_EQ(entry.rom, " ");
  EXPECT_EQ(entry.fwFile, " ");
}

TEST_F(CatalogTest, EntryWithoutRomDoesNotInheritTheVersionBeforeIt) {
  Load(CatalogText(CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.556") +
                   "<nic venid=\"4040\" devid=\"0200\" subvenid=\"1234\" subdevid=\"00AB\"/>\n"));
  const CatalogEntry& entry = catalog_.at("4040-0200-1234-00AB");
  EXPECT_EQ(entry.version.major(), 0u);
  EXPECT_EQ(entry.version.build(), 0u);
}

TEST_F(CatalogTest, LaterDuplicateWinsAndReloadKeepsOtherKeys) {
  Load(CatalogText(CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.556") +
                   CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.560")));
  EXPECT_EQ(catalog_.at("4040-0100-1234-00AB").rom, "4.0.560");

  Load(CatalogText(CatalogEntryXml("4040", "0200", "1234", "00AB", "4.0.600")));
  EXPECT_EQ(catalog_.size(), 2u);
  EXPECT_EQ(catalog_.at("4040-0100-1234-00AB").rom, "4.0.560");
}

TEST_F(CatalogTest, FindsAKnownEntryAndLogsAnUnknownOne) {
  Load(CatalogText(CatalogEntryXml("4040", "0100", "1234", "00ab", "4.0.556") +
                   CatalogEntryXml("4040", "0100", "1234", "00AC", "4.0.557")));
  const CatalogEntry* entry = FindCatalogEntry(catalog_, "4040-0100-1234-00AC", ui_.ui());
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->rom, "4.0.557");
  EXPECT_EQ(entry->version.build(), 557u);
  EXPECT_EQ(ui_.Log(), "");

  // Lower-case letters in the file never match the upper-case text discovery builds.
  EXPECT_FALSE(FindCatalogEntry(catalog_, "4040-0100-1234-00AB", ui_.ui()));
  EXPECT_EQ(ui_.Log(),
            "NIC with PCI ID 4040-0100-1234-00AB is not identified as a supported VAroru P3 "
            "NIC.\n");
}

TEST_F(CatalogTest, MissingFileLogsBothLinesAndKeepsTheTable) {
  Load(CatalogText(CatalogEntryXml("4040", "0100", "1234", "00AB", "4.0.556")));
  test::TempDir empty;
  {
    test::ScopedCurrentDirectory cwd(empty.path());
    EXPECT_FALSE(LoadFirmwareCatalog(&catalog_, ui_.ui()).ok());
  }
  EXPECT_EQ(catalog_.size(), 1u);
  EXPECT_EQ(ui_.Log(),
            "Loading configuration file NICFWData.xml failed. Error code: 10.\n"
            "File Not found!- Please make sure nxflash.exe and nxflash_x86.exe are present in "
            "the same directory where Quorvane.exe is located.\n");
}

TEST_F(CatalogTest, FileWithoutThePackageRootLogsOnlyTheCode) {
  Load("<other><nic><nic venid=\"4040\"/></nic></other>\n");
  EXPECT_TRUE(catalog_.empty());
  EXPECT_EQ(ui_.Log(), "Loading configuration file NICFWData.xml failed. Error code: 11.\n");
}

}  // namespace
