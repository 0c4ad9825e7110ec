// SHA-256: the standard's examples, the lengths around a block's padding, and the sample log,
// each given whole and in pieces of every size that splits blocks differently.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "io/sha256.h"

namespace korvex::test {
namespace {

std::string digest_of(const std::string& text, std::size_t piece) {
  Sha256 sha;
  for (std::size_t at = 0; at < text.size(); at += piece) {
    sha.update(text.data() + at, std::min(piece, text.size() - at));
  }
  return Sha256::hex(sha.finish());
}

TEST(Sha256, DigestsOfKnownTexts) {
  std::ifstream sample(KORVEX_SAMPLE, std::ios::binary);
  std::ostringstream sample_bytes;
  sample_bytes << sample.rdbuf();
  const struct {
    std::string text;
    std::string digest;
  } kCases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmn"
       "opqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      // Lengths on either side of where the padding needs a second block.
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {sample_bytes.str(), "775cfcbe50cd2cc2189c07f0c911420a5a2305124e972847a9ad4ecf1258d59b"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.text.size());
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{7}, std::size_t{63}, std::size_t{64}, std::size_t{65},
          std::size_t{4096}, c.text.size() + 1}) {
      EXPECT_EQ(digest_of(c.text, piece), c.digest) << "pieces of " << piece;
    }
  }
}

}  // namespace
}  // namespace korvex::test
