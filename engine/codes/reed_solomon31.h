#pragma once
#include <array>
#include <cstdint>

namespace vestrel {

// The Reed-Solomon code of the block modes PS2X5 and PS33X5: n = 31 symbols of 5 bits over
// GF(32) from the primitive polynomial x^5 + x^3 + 1 (0x29), alpha = x, generator
// (x - alpha^1) ... (x - alpha^2t). A block holds the 2t parity symbols, then the 31 - 2t
// information symbols; symbol i is the coefficient of x^i, so the parity is the remainder of
// info(x) x^2t divided by the generator. With t = 8 (the default): 16 parity symbols, 15
// information symbols, up to 8 symbol errors corrected.
// A plain value: copies decode alike. Decoding is allocation-free.
class TReedSolomon31 {
 public:
  static constexpr int kN = 31;
  static constexpr int kMaxT = 15;

  TReedSolomon31();

  // t: correcting power 1..15 (2t parity symbols, 31 - 2t information symbols). Refused (false,
  // the code unchanged) otherwise.
  bool Init(int t);

  int T() const { return t_; }
  int InfoCount() const { return k_; }
  int ParityCount() const { return 2 * t_; }

  // info: InfoCount() symbols 0..31 (higher bits are ignored); parity: ParityCount() symbols.
  void Encode(const uint8_t* info, uint8_t* parity) const;
  // received: the 31 symbols of a block (parity first). Returns 0 when the block is clean or
  // was corrected (corrected then holds all 31 symbols), non-zero when it cannot be corrected
  // (corrected is then not to be used). received and corrected may be the same array.
  int Decode(const uint8_t* received, uint8_t* corrected);
  // 31 when Decode fails, else the number of symbols Decode changed (0..t).
  int BlockDecode(const uint8_t* received, uint8_t* corrected);

  // The field: alpha^i for i = 0..30 (entry 31 repeats entry 0), and the logarithm (log 0 = -1).
  int Power(int i) const { return powerOf_[i % 31]; }
  int Log(int x) const { return logOf_[x & 31]; }

 private:
  uint8_t Mul(uint8_t a, uint8_t b) const { return product_[a & 31][b & 31]; }
  // S_j = r(alpha^j), j = 1..2t, into syndrome_[0..2t); true when any is non-zero.
  bool Syndromes(const uint8_t* r);

  int t_ = 8;
  int k_ = 15;
  std::array<uint8_t, 6> poly_{};        // the primitive polynomial, x^0 first
  std::array<uint8_t, 32> powerOf_{};    // alpha^i
  std::array<int8_t, 32> logOf_{};       // log_alpha x, -1 for 0
  std::array<std::array<uint8_t, 32>, 32> product_{};  // a x b
  std::array<uint8_t, 32> inverse_{};                   // 1 / a (0 for 0)
  std::array<uint8_t, 2 * kMaxT + 1> generator_{};  // g(x), x^0 first; g_2t = 1
  // syndromeTable_[i][v]: the 2t syndromes that symbol value v at position i contributes, one
  // byte each; a block's syndromes are the XOR over its 31 symbols.
  std::array<std::array<std::array<uint8_t, 32>, 32>, kN> syndromeTable_{};
  // chienTable_[j][v][i]: v alpha^(-ij), the term of coefficient j = v of the error locator at
  // alpha^-i (entry 31 unused).
  std::array<std::array<std::array<uint8_t, 32>, 32>, kMaxT + 1> chienTable_{};

  // Decoder work arrays.
  std::array<uint8_t, 32> syndrome_{};
  // Error locator (x^0 first) and the register saved at its last length change; room for the
  // degrees an uncorrectable block reaches before it is refused.
  std::array<uint8_t, 2 * kMaxT + 2> lambda_{};
  std::array<uint8_t, 2 * kMaxT + 2> prev_{};
  std::array<uint8_t, 2 * kMaxT + 2> temp_{};
  std::array<uint8_t, 2 * kMaxT> omega_{};   // error evaluator
  std::array<uint8_t, kMaxT> rootPos_{};     // positions of the errors
  std::array<uint8_t, kMaxT> rootInv_{};     // log of X^-1 at each
  int changed_ = 0;                          // symbols the last Decode changed
};

}  // namespace vestrel
