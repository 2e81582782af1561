#pragma once

#include <cstdlib>
#include <string>

// The addresses the window and the settings dialog open. The host names are set when the program
// is built (VANTRO_PRODUCT_SITE, VANTRO_BILLING_HOST); the environment variables of the same names
// override them at run time (a test site, say).
inline std::string ProductSiteHost() {
  const char* env = std::getenv("VANTRO_PRODUCT_SITE");
  return env && *env ? env : VANTRO_PRODUCT_SITE;
}

inline std::string BillingHost() {
  const char* env = std::getenv("VANTRO_BILLING_HOST");
  return env && *env ? env : VANTRO_BILLING_HOST;
}

// The operator's customer page on its billing server.
inline std::string BillingCustomerPage() { return "http://" + BillingHost() + ":8080/voipbilling/customer/index.html"; }

// The product web site's home page.
inline std::string ProductHomePage() { return "http://" + ProductSiteHost() + "/"; }

// The manual page, written without a scheme.
inline std::string ManualPage() { return ProductSiteHost() + "/vantrodialer.html"; }

// The banner picture the window downloads at start-up.
inline std::string BannerAddress() { return "http://" + ProductSiteHost() + "/banner/banner.gif"; }
