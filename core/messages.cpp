#include "core/messages.h"

const char* MessageName(int iMessage)
{
    switch (iMessage) {
    case MSG_ATTACH: return "attach";
    case MSG_RVX_WINDOW: return "RVX window";
    case MSG_COMMAND_QUEUED: return "command queued";
    case MSG_INFO_QUEUED: return "InfoDriver message queued";
    case MSG_INTERFACE_NUMBER: return "interface number";
    case MSG_NETWORK_STATUS: return "network status";
    case MSG_NETWORK_ANSWER: return "network status answer";
    case MSG_ROUTE_COMMAND: return "route command";
    case MSG_SWITCH_COMMAND: return "general switch command";
    case MSG_INFO_WRITE_COMMAND: return "InfoDriver write command";
    case MSG_NAME_REQUEST: return "name request";
    case MSG_NAME_CHANGED: return "name changed";
    case MSG_CLOSE_REQUEST: return "close request";
    case MSG_REVERTIVE_REFRESH: return "revertive refresh";
    case MSG_ARBITRATION_QUERY: return "TX/RX arbitration query";
    case MSG_TXRX_ORDER: return "TX/RX order";
    case MSG_OWNERSHIP_QUERY: return "device ownership query";
    case MSG_REGISTER: return "register";
    case MSG_UNREGISTER: return "unregister";
    case MSG_REVERTIVE: return "revertive";
    case MSG_REVERTIVE_SERIES: return "revertive of a query series";
    case MSG_DRIVER_COMMAND: return "driver command";
    case MSG_RX_ONLY_ORDER: return "RX-only order";
    case MSG_TXRX_REPORT: return "TX/RX report";
    case MSG_INFO_CONNECT: return "InfoDriver connect";
    case MSG_INFO_DISCONNECT: return "InfoDriver disconnect";
    case MSG_INFO_SLOT_WRITE: return "slot write";
    case MSG_INFO_SLOT_READ: return "slot read";
    case MSG_INFO_NOTICE: return "InfoDriver notice";
    case MSG_INFO_CONNECT_ANSWER: return "InfoDriver connect answer";
    case MSG_INFO_MESSAGE: return "InfoDriver message";
    case MSG_LEVELMAP_DEFAULT: return "level map default write";
    case MSG_INFO_TXRX_QUERY: return "InfoDriver TX/RX query";
    case MSG_INFO_TXRX_SET: return "InfoDriver TX/RX set";
    case MSG_TRANSPORT_REPLY: return "reply";
    default: return "?";
    }
}
