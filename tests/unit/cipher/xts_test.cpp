// AES-256-XTS over sectors: the standard's vectors on both engines, and
// runs of sectors against one sector at a time, in place and out of place.
#include "xts.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "hex.h"

namespace {

const char kKey[] =
    "2718281828459045235360287471352662497757247093699959574966967627"
    "3141592653589793238462643383279502884197169399375105820974944592";

// IEEE 1619 vectors 10 and 11: plaintext 00 01 .. ff twice.
const char kVector10[] =
    "1c3b3a102f770386e4836c99e370cf9bea00803f5e482357a4ae12d414a3e63b"
    "5d31e276f8fe4a8d66b317f9ac683f44680a86ac35adfc3345befecb4bb188fd"
    "5776926c49a3095eb108fd1098baec70aaa66999a72a82f27d848b21d4a741b0"
    "c5cd4d5fff9dac89aeba122961d03a757123e9870f8acf1000020887891429ca"
    "2a3e7a7d7df7b10355165c8b9a6d0a7de8b062c4500dc4cd120c0f7418dae3d0"
    "b5781c34803fa75421c790dfe1de1834f280d7667b327f6c8cd7557e12ac3a0f"
    "93ec05c52e0493ef31a12d3d9260f79a289d6a379bc70c50841473d1a8cc81ec"
    "583e9645e07b8d9670655ba5bbcfecc6dc3966380ad8fecb17b6ba02469a020a"
    "84e18e8f84252070c13e9f1f289be54fbc481457778f616015e1327a02b140f1"
    "505eb309326d68378f8374595c849d84f4c333ec4423885143cb47bd71c5edae"
    "9be69a2ffeceb1bec9de244fbe15992b11b77c040f12bd8f6a975a44a0f90c29"
    "a9abc3d4d893927284c58754cce294529f8614dcd2aba991925fedc4ae74ffac"
    "6e333b93eb4aff0479da9a410e4450e0dd7ae4c6e2910900575da401fc07059f"
    "645e8b7e9bfdef33943054ff84011493c27b3429eaedb4ed5376441a77ed4385"
    "1ad77f16f541dfd269d50d6a5f14fb0aab1cbb4c1550be97f7ab4066193c4caa"
    "773dad38014bd2092fa755c824bb5e54c4f36ffda9fcea70b9c6e693e148c151";
const char kVector11[] =
    "77a31251618a15e6b92d1d66dffe7b50b50bad552305ba0217a610688eff7e11"
    "e1d0225438e093242d6db274fde801d4cae06f2092c728b2478559df58e837c2"
    "469ee4a4fa794e4bbc7f39bc026e3cb72c33b0888f25b4acf56a2a9804f1ce6d"
    "3d6e1dc6ca181d4b546179d55544aa7760c40d06741539c7e3cd9d2f6650b201"
    "3fd0eeb8c2b8e3d8d240ccae2d4c98320a7442e1c8d75a42d6e6cfa4c2eca179"
    "8d158c7aecdf82490f24bb9b38e108bcda12c3faf9a21141c3613b58367f922a"
    "aa26cd22f23d708dae699ad7cb40a8ad0b6e2784973dcb605684c08b8d6998c6"
    "9aac049921871ebb65301a4619ca80ecb485a31d744223ce8ddc2394828d6a80"
    "470c092f5ba413c3378fa6054255c6f9df4495862bbb3287681f931b687c888a"
    "bf844dfc8fc28331e579928cd12bd2390ae123cf03818d14dedde5c0c24c8ab0"
    "18bfca75ca096f2d531f3d1619e785f1ada437cab92e980558b3dce1474afb75"
    "bfedbf8ff54cb2618e0244c9ac0d3c66fb51598cd2db11f9be39791abe447c63"
    "094f7c453b7ff87cb5bb36b7c79efb0872d17058b83b15ab0866ad8a58656c5a"
    "7e20dbdf308b2461d97c0ec0024a2715055249cf3b478ddd4740de654f75ca68"
    "6e0d7345c69ed50cdc2a8b332b1f8824108ac937eb050585608ee734097fc090"
    "54fbff89eeaeea791f4a7ab1f9868294a4f9e27b42af8100cb9d59cef9645803";

std::vector<uint8_t> CountingSector() {
  std::vector<uint8_t> sector(kXtsSectorSize);
  for (size_t i = 0; i < sector.size(); ++i) sector[i] = static_cast<uint8_t>(i);
  return sector;
}

class Xts : public ::testing::TestWithParam<XtsEngine> {
 protected:
  void SetUp() override {
    if (GetParam() == kXtsEngineAesNi && !AesNiAvailable()) {
      GTEST_SKIP() << "no AES instructions on this processor";
    }
  }
  void Key(const std::vector<uint8_t>& key) {
    ASSERT_EQ(XtsSetKey(&context_, key.data(), GetParam()), 1);
    ASSERT_EQ(context_.Engine, static_cast<uint32_t>(GetParam()));
  }
  void TearDown() override { XtsWipe(&context_); }

  XtsContext context_;
};

TEST_P(Xts, Ieee1619Vectors10And11BothWays) {
  Key(FromHex(kKey));
  const struct {
    uint64_t sector;
    const char* ciphertext;
  } vectors[] = {{0xff, kVector10}, {0xffff, kVector11}};
  for (const auto& vector : vectors) {
    SCOPED_TRACE(vector.sector);
    std::vector<uint8_t> data = CountingSector();
    XtsEncryptSectors(&context_, vector.sector, data.data(), data.data(), 1);
    EXPECT_EQ(ToHex(data.data(), data.size()), vector.ciphertext);
    XtsDecryptSectors(&context_, vector.sector, data.data(), data.data(), 1);
    EXPECT_EQ(data, CountingSector());
  }
}

TEST_P(Xts, RunsOfSectorsEqualOneSectorAtATimeInPlaceAndOutOfPlace) {
  std::mt19937_64 random(11);
  std::vector<uint8_t> key(kXtsKeySize);
  for (auto& byte : key) byte = static_cast<uint8_t>(random());
  Key(key);
  for (size_t sectors = 1; sectors <= 19; ++sectors) {
    SCOPED_TRACE(sectors);
    const uint64_t first = 0xFFFFFFFAull + sectors;  // runs across 2^32
    std::vector<uint8_t> data(kXtsSectorSize * sectors);
    for (auto& byte : data) byte = static_cast<uint8_t>(random());

    std::vector<uint8_t> single(data.size());
    for (size_t i = 0; i < sectors; ++i) {
      XtsEncryptSectors(&context_, first + i, &data[kXtsSectorSize * i],
                        &single[kXtsSectorSize * i], 1);
    }
    std::vector<uint8_t> run(data.size());
    XtsEncryptSectors(&context_, first, data.data(), run.data(), sectors);
    ASSERT_EQ(run, single);
    XtsDecryptSectors(&context_, first, run.data(), run.data(), sectors);
    ASSERT_EQ(run, data);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, Xts, ::testing::Values(kXtsEngineSoftware, kXtsEngineAesNi),
                         [](const ::testing::TestParamInfo<XtsEngine>& info) {
                           return info.param == kXtsEngineSoftware ? "Software" : "AesInstructions";
                         });

}  // namespace
