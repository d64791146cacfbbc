#pragma once

// Orvane.dll registered in the test's Wine prefix, and the identities clients know it by.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

namespace orvane::com::testing {

inline constexpr CLSID sign_class = {
    0x7A409161, 0x6859, 0x4BF4, {0xB2, 0x5D, 0xCE, 0xF2, 0x41, 0x41, 0xF0, 0xD5}};
inline constexpr CLSID xml_class = {
    0xCA540219, 0x6B14, 0x47A3, {0xBC, 0x81, 0x2B, 0x09, 0x16, 0x0C, 0xC5, 0x06}};
inline constexpr IID sign_iid = {
    0xDFDA18EB, 0x0BF0, 0x4B7D, {0x8F, 0xCA, 0x6D, 0x2F, 0xBF, 0x97, 0xC1, 0xB5}};

// Runs a program of the prefix and answers its exit code.
DWORD run(std::wstring command);
std::wstring quoted(const wchar_t* path);

// regsvr32 of this test's bitness on `dll`: the prefix's system32 one, which a 32-bit process
// sees redirected to the 32-bit one in SysWOW64.
DWORD regsvr32(const wchar_t* options, const wchar_t* dll = ORVANE_COM_DLL);

// The password of the test PKI's signer.pfx.
std::wstring pfx_password(const std::filesystem::path& pki_folder);

// A test with COM started, the server registered and a temporary folder of its own; all of it
// goes again afterwards.
class RegisteredServer : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::filesystem::path folder_;
};

}  // namespace orvane::com::testing
