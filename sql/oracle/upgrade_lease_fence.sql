-- For a lease table qel_service_lease without the columns fence and renewals (installed before
-- the lease was judged by the services' own clocks): without them the service registers nothing
-- and logs "Service lease cannot be checked". Run as the user that owns the service's tables,
-- after upgrade_service_lease.sql when that was not run yet.
ALTER TABLE qel_service_lease ADD fence NUMBER DEFAULT 0;
ALTER TABLE qel_service_lease ADD renewals NUMBER DEFAULT 0;
