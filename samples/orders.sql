-- The sample orders database: customers, products, orders and their lines,
-- and the friendly-name table the screens use to caption fields.
-- Written for SQLite (the declared types CURRENCY, BOOLEAN and DATE give the
-- currency, boolean and date columns); run it on an empty database.

BEGIN TRANSACTION;

CREATE TABLE Customers (
  Code        VARCHAR(10) NOT NULL PRIMARY KEY,
  Name        VARCHAR(60) NOT NULL,
  Email       VARCHAR(80),
  CreditLimit CURRENCY,
  Discount    DOUBLE,
  Since       DATE,
  Active      BOOLEAN NOT NULL DEFAULT 1,
  Newsletter  BOOLEAN NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX ixCustomersEmail ON Customers (Email);

CREATE TABLE Products (
  Code         VARCHAR(10) NOT NULL PRIMARY KEY,
  Description  VARCHAR(60) NOT NULL,
  Price        CURRENCY NOT NULL,
  InStock      INTEGER NOT NULL DEFAULT 0,
  Discontinued BOOLEAN NOT NULL DEFAULT 0
);

CREATE TABLE Orders (
  OrderNo      INTEGER NOT NULL PRIMARY KEY,
  CustomerCode VARCHAR(10) NOT NULL REFERENCES Customers (Code),
  OrderDate    DATE NOT NULL,
  Shipped      BOOLEAN NOT NULL DEFAULT 0,
  Notes        VARCHAR(200)
);

CREATE TABLE OrderLines (
  OrderNo     INTEGER NOT NULL REFERENCES Orders (OrderNo) ON DELETE CASCADE,
  LineNo      INTEGER NOT NULL,
  ProductCode VARCHAR(10) NOT NULL REFERENCES Products (Code),
  Quantity    INTEGER NOT NULL,
  UnitPrice   CURRENCY NOT NULL,
  PRIMARY KEY (OrderNo, LineNo)
);

CREATE TABLE FieldNames (
  TableName    VARCHAR(40) NOT NULL,
  FieldName    VARCHAR(40) NOT NULL,
  FriendlyName VARCHAR(60),
  PRIMARY KEY (TableName, FieldName)
);

INSERT INTO Customers VALUES ('C1', 'Smith & Sons', 'orders@smith.example', 5000, 0.05, '2019-03-14', 1, 1);
INSERT INTO Customers VALUES ('C2', 'Jones Ltd', 'buy@jones.example', 2500.5, 0, '2020-11-02', 1, 0);
INSERT INTO Customers VALUES ('C3', 'O''Brien Hardware', 'shop@obrien.example', 1200, 0.1, '2021-06-30', 1, 1);
INSERT INTO Customers VALUES ('C4', 'Nguyen Imports', NULL, NULL, NULL, NULL, 0, 0);
INSERT INTO Customers VALUES ('C5', 'Zeta Trading', 'info@zeta.example', 750.25, 0.025, '2023-01-09', 1, 0);

INSERT INTO Products VALUES ('P1', 'Hammer', 12.5, 40, 0);
INSERT INTO Products VALUES ('P2', 'Screwdriver set', 19.99, 25, 0);
INSERT INTO Products VALUES ('P3', 'Ladder', 89, 3, 0);
INSERT INTO Products VALUES ('P4', 'Paraffin lamp', 24, 0, 1);

INSERT INTO Orders VALUES (1001, 'C1', '2024-01-15', 1, 'Deliver to the back door');
INSERT INTO Orders VALUES (1002, 'C3', '2024-02-29', 0, NULL);
INSERT INTO Orders VALUES (1003, 'C1', '2024-03-04', 0, 'Urgent');

INSERT INTO OrderLines VALUES (1001, 1, 'P1', 4, 12.5);
INSERT INTO OrderLines VALUES (1001, 2, 'P2', 1, 19.99);
INSERT INTO OrderLines VALUES (1002, 1, 'P3', 1, 89);
INSERT INTO OrderLines VALUES (1003, 1, 'P1', 10, 11.75);

INSERT INTO FieldNames VALUES ('Customers', 'Code', 'Customer code');
INSERT INTO FieldNames VALUES ('Customers', 'Name', 'Customer name');
INSERT INTO FieldNames VALUES ('Customers', 'CreditLimit', 'Credit limit');
INSERT INTO FieldNames VALUES ('Customers', 'Since', 'Customer since');
INSERT INTO FieldNames VALUES ('Orders', 'OrderNo', 'Order number');
INSERT INTO FieldNames VALUES ('Orders', 'CustomerCode', 'Customer code');
INSERT INTO FieldNames VALUES ('Orders', 'OrderDate', 'Order date');
INSERT INTO FieldNames VALUES ('OrderLines', 'ProductCode', 'Product code');

COMMIT;
