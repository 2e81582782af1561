#pragma once

#include <string>

// The addresses the window and the settings dialog open. The host names are set when the program
// is built (VANTRO_PRODUCT_SITE, VANTRO_BILLING_HOST).
inline std::string ProductSiteHost() { return VANTRO_PRODUCT_SITE; }

// The operator's customer page on its billing server.
inline std::string BillingCustomerPage()
{
    return std::string("http://") + VANTRO_BILLING_HOST + ":8080/voipbilling/customer/index.html";
}

// The product web site's home page.
inline std::string ProductHomePage() { return "http://" + ProductSiteHost() + "/"; }

// The manual page, written without a scheme.
inline std::string ManualPage() { return ProductSiteHost() + "/vantrodialer.html"; }

// The banner picture the window downloads at start-up.
inline std::string BannerAddress() { return "http://" + ProductSiteHost() + "/banner/banner.gif"; }
