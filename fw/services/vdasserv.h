// The service broker client: where the broker is (from the preferences),
// its address as a typed value, and its operations.
#pragma once
#include "fw/services/session.h"

void vdasservStartup();
void vdasservInstallStartup();
// A new scrap of the broker's address; the caller owns it.
vinstance* vdasservGetBrokerAddress();
vinstance* vdasservCreateServiceScrap();
vinstance* vdasservGetAddress();
vdatatag* vdasservGetAddressDatatag();
// A new unsent statement asking the broker over session for the services
// matching criteria; the criteria scrap is consumed.
vsessionStatement* vdasservCreateMatch(vsession* session, vinstance* criteria);
vsessionStatement* vdasservCreateMatchStatement(vsession* session, vinstance* criteria);
vsignature* vdasservGetOperation(const char* name);  // "vdasservRegister", "vdasservUnregister", "vdasservMatch"
vdatatagGroup* vdasservGetGroup();
// The session classes in their start-up order; the default engine class.
vsessionSyntheticEngineClassRec* vsessionStartup();
