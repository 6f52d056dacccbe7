-- For own tables installed before the lease of a property: without this table the service
-- registers nothing and logs "Service lease cannot be checked". Run as the user that owns the
-- service's tables.
CREATE TABLE qel_service_lease (
    resort   VARCHAR2(20)   NOT NULL,
    holder   VARCHAR2(200),
    expires  DATE,
    CONSTRAINT qel_service_lease_pk PRIMARY KEY (resort)
);
