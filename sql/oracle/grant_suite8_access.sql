-- What the service's database user may do in a Suite8 schema. Run in SQL*Plus as the owner of
-- the Suite8 schema (or a DBA, with the schema named in front of every table), giving the
-- service's user as the first argument:
--   sqlplus v8live@FIDELIO @grant_suite8_access.sql FISCAL
-- The service reads these tables and switches departments off and on for payments while no
-- fiscal printer answers (zdco). Its own tables live in its own schema (install_own_tables.sql).
GRANT SELECT ON ainv TO &&1;
GRANT SELECT ON aipl TO &&1;
GRANT SELECT ON v8_rep_invoiceno TO &&1;
GRANT SELECT ON v8_rep_yres_infos TO &&1;
GRANT SELECT ON wgbs TO &&1;
GRANT SELECT ON wlog TO &&1;
GRANT SELECT ON wmlg TO &&1;
GRANT SELECT ON wpca TO &&1;
GRANT SELECT ON wses TO &&1;
GRANT SELECT ON wtrl TO &&1;
GRANT SELECT ON xcac TO &&1;
GRANT SELECT ON xccd TO &&1;
GRANT SELECT ON xced TO &&1;
GRANT SELECT ON xcmt TO &&1;
GRANT SELECT ON xcms TO &&1;
GRANT SELECT ON xcom TO &&1;
GRANT SELECT ON xect TO &&1;
GRANT SELECT ON xmnr TO &&1;
GRANT SELECT ON xmty TO &&1;
GRANT SELECT ON yral TO &&1;
GRANT SELECT ON ycat TO &&1;
GRANT SELECT ON ydet TO &&1;
GRANT SELECT ON yrch TO &&1;
GRANT SELECT ON yres TO &&1;
GRANT SELECT ON yrgl TO &&1;
GRANT SELECT ON yrms TO &&1;
GRANT SELECT ON zart TO &&1;
GRANT SELECT ON zcas TO &&1;
GRANT SELECT ON zche TO &&1;
GRANT SELECT ON zcur TO &&1;
GRANT SELECT ON zdco TO &&1;
GRANT UPDATE (zdco_disabled_prearr, zdco_disabled_billing) ON zdco TO &&1;
GRANT SELECT ON zfac TO &&1;
GRANT SELECT ON zfag TO &&1;
GRANT SELECT ON zfan TO &&1;
GRANT SELECT ON zinv TO &&1;
GRANT SELECT ON zpil TO &&1;
GRANT SELECT ON zpos TO &&1;
GRANT SELECT ON zwin TO &&1;
GRANT SELECT ON zxch TO &&1;
