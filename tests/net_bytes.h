// Network play's greetings and messages written out byte by byte, as the wire
// has them, for the tests to send and to feed the reader.
#ifndef QUILLFIRE_TESTS_NET_BYTES_H
#define QUILLFIRE_TESTS_NET_BYTES_H

#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

inline Bytes operator+(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

// `value` in `size` bytes, little-endian.
inline Bytes little(uint64_t value, int size) {
  Bytes b;
  for (int i = 0; i < size; ++i) b.push_back((uint8_t)(value >> (8 * i)));
  return b;
}

// "QFNT", the protocol, the role asked for or the host's answer, and the
// game's version with its length before it.
inline Bytes greeting(uint8_t code, const std::string &version = "1.0.0",
                      uint8_t protocol = 1) {
  return Bytes{'Q', 'F', 'N', 'T', protocol, 0, code, (uint8_t)version.size()} +
         text(version);
}

inline Bytes message(uint8_t type, const Bytes &payload) {
  return Bytes{type} + little(payload.size(), 4) + payload;
}
inline Bytes keys(uint32_t sequence, uint8_t bits) {
  return message('K', little(sequence, 4) + Bytes{bits});
}
inline Bytes taken(uint64_t count) { return message('T', little(count, 8)); }
inline Bytes chunk(uint64_t offset, const std::string &data) {
  return message('S', little(offset, 8) + text(data));
}
inline Bytes match(uint32_t session) {
  return message('M', little(session, 4));
}

// A players' datagram: "QFd", the format version, session, stamp, echo,
// echo held, ack, first tick, check tick, check hash, flags, the count and
// the 16-bit inputs.
inline Bytes datagram(uint32_t session, uint32_t first_tick,
                      const std::vector<uint16_t> &inputs, uint8_t flags = 0,
                      uint32_t check_tick = 0, uint32_t check_hash = 0,
                      uint8_t version = 1) {
  Bytes b = Bytes{'Q', 'F', 'd', version} + little(session, 4) +
            little(0x01020304, 4) + little(0x05060708, 4) + little(9, 4) +
            little(first_tick, 4) + little(first_tick, 4) +
            little(check_tick, 4) + little(check_hash, 4) +
            Bytes{flags, (uint8_t)inputs.size()};
  for (uint16_t input : inputs) b = b + little(input, 2);
  return b;
}

#endif
